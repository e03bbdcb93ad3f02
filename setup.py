"""Builds the synthfactors module for pip with the project's CMake build.

The module is compiled by CMake exactly as the rest of the project is (the
same sources, the same -ffp-contract=off), without the windows, the command
line or the tests; its stub file goes beside it.
"""
import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve()
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        output = build / "module"
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
             "-DSYNTHFACTORS_BUILD_UI=OFF", "-DSYNTHFACTORS_BUILD_TESTS=OFF",
             "-DSYNTHFACTORS_BUILD_CLI=OFF", f"-DPython_EXECUTABLE={sys.executable}",
             f"-DCMAKE_LIBRARY_OUTPUT_DIRECTORY={output}"],
            check=True)
        subprocess.run(
            ["cmake", "--build", str(build), "--target", "synthfactors_python",
             "--parallel", str(os.cpu_count() or 1)],
            check=True)
        built = sorted(output.glob("synthfactors*.so"))
        if len(built) != 1:
            raise RuntimeError(f"expected one module in {output}, found {built}")
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)
        shutil.copyfile(ROOT / "python" / "synthfactors.pyi", target.parent / "synthfactors.pyi")


setup(ext_modules=[Extension("synthfactors", sources=[])], cmdclass={"build_ext": CMakeBuild})
