"""The Python module's sweep() against the command line's: time, and peak
memory against the size of the arrays it returns.

    PYTHONPATH=build/default/python python3 bench/python_sweep.py CLI [FROM:TO:STEP]
"""

import resource
import subprocess
import sys
import time


def sweep_in_python(grid):
    """Runs in a child process: prints seconds, peak KiB and array bytes."""
    import synthfactors
    start = time.monotonic()
    columns = synthfactors.sweep(*grid.split(":"))
    seconds = time.monotonic() - start
    arrays = sum(column.nbytes for column in columns.values())
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(seconds, peak, arrays)


def main():
    if sys.argv[1] == "--child":
        sweep_in_python(sys.argv[2])
        return
    cli = sys.argv[1]
    grid = sys.argv[2] if len(sys.argv) > 2 else "1000:1999.9999:0.0001"
    start = time.monotonic()
    subprocess.run([cli, "--sweep", grid], stdout=subprocess.DEVNULL, check=True)
    cli_seconds = time.monotonic() - start
    child = subprocess.run([sys.executable, __file__, "--child", grid], capture_output=True,
                           text=True, check=True)
    seconds, peak_kib, arrays = (float(word) for word in child.stdout.split())
    print(f"sweep {grid}")
    print(f"  synthfactors-cli --sweep: {cli_seconds:.1f} s")
    print(f"  synthfactors.sweep():     {seconds:.1f} s ({seconds / cli_seconds:.2f} x)")
    print(f"  arrays returned: {arrays / 1e9:.2f} GB; peak resident memory "
          f"{peak_kib * 1024 / 1e9:.2f} GB ({peak_kib * 1024 / arrays:.2f} x)")


if __name__ == "__main__":
    main()
