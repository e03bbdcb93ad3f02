"""Draws a channel plan: the output error and the comparison frequency of
every channel, for the per-channel choice and, when asked, for one R."""

import argparse
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after choosing the backend)
import numpy  # noqa: E402

import synthfactors  # noqa: E402


def arguments():
    parser = argparse.ArgumentParser(
        prog="scripts/plot-plan",
        description="Draws a channel sweep of synthfactors as a picture.")
    parser.add_argument("grid", metavar="FROM:TO:STEP", help="RF outputs, MHz (exact decimals)")
    parser.add_argument("--mult", default="1", help="RF multiplication factor")
    parser.add_argument("--ref", default="10", help="reference input, MHz")
    parser.add_argument("--min-fc", default="5", help="lowest comparison frequency, kHz")
    parser.add_argument("--max-fc", default="100", help="highest comparison frequency, kHz")
    parser.add_argument("--r-range", help="try only R from MIN to MAX")
    parser.add_argument("--n-range", help="admit only N from MIN to MAX")
    parser.add_argument("--common-r", action="store_true",
                        help="also draw the plan with one R for every channel")
    parser.add_argument("-o", "--output", default="channel-plan.png", help="the PNG to write")
    return parser.parse_args()


def draw(axes, plan, label, colour, first):
    rf = plan["rf_out"].astype(float)
    exact = plan["exact"]
    error, comparison = axes
    error.plot(rf, plan["error_hz"], color=colour, linewidth=0.8, label=label)
    # The first plan's exact channels as rings, so a second plan's dots show
    # inside them where both agree.
    error.scatter(rf[exact], plan["error_hz"][exact], s=40 if first else 10,
                  facecolors="none" if first else colour, edgecolors=colour, marker="o",
                  label=f"{label}: exact ({numpy.count_nonzero(exact)} of {len(rf)})")
    comparison.step(rf, plan["comparison_khz"], where="mid", color=colour, linewidth=0.9,
                    label=label)


def main():
    args = arguments()
    try:
        start, stop, step = args.grid.split(":")
    except ValueError:
        sys.exit("scripts/plot-plan: the grid is FROM:TO:STEP")
    common = dict(mult=args.mult, ref=args.ref, min_fc=args.min_fc, max_fc=args.max_fc,
                  r_range=args.r_range, n_range=args.n_range)
    try:
        plans = [("each channel's own R", synthfactors.sweep(start, stop, step, **common),
                  "tab:blue")]
        if args.common_r:
            one = synthfactors.sweep(start, stop, step, **common, common_r=True)
            plans.append((f"one R ({one['common_r']['common_r']})", one, "tab:orange"))
    except ValueError as error:
        sys.exit(f"scripts/plot-plan: {error}")

    figure, axes = plt.subplots(2, 1, sharex=True, figsize=(9, 6.5), dpi=100)
    for index, (label, plan, colour) in enumerate(plans):
        draw(axes, plan, label, colour, index == 0)
    axes[0].set_ylabel("output error (Hz)")
    axes[0].axhline(0, color="grey", linewidth=0.5)
    axes[0].legend(fontsize=8, loc="best")
    axes[1].set_ylabel("comparison frequency (kHz)")
    axes[1].set_xlabel("RF output (MHz)")
    axes[1].legend(fontsize=8, loc="best")
    figure.suptitle(f"Channel plan {args.grid} MHz, ×{args.mult}, reference {args.ref} MHz, "
                    f"comparison {args.min_fc} to {args.max_fc} kHz", fontsize=10)
    figure.tight_layout()
    figure.savefig(args.output)
    print(f"Wrote {args.output}")


if __name__ == "__main__":
    main()
