"""Exact divider calculation for integer-N PLL synthesisers."""

import os
from typing import Any, Optional, Sequence, Union

import numpy

Input = Union[str, int, float, numpy.integer, numpy.floating]
Range = Union[str, Sequence[Union[int, float]], None]

def run(
    rf_out: Input,
    mult: Input = "1",
    ref: Input = "10",
    min_fc: Input = "5",
    max_fc: Input = "100",
    *,
    r_range: Range = None,
    n_range: Range = None,
    alternatives: Union[int, numpy.integer] = 0,
    fom: Optional[Union[str, float, int]] = None,
    decimal_symbol: str = ".",
    chip: Optional[Union[str, os.PathLike[str]]] = None,
    prescaler: Optional[int] = None,
    flicker: Optional[Union[str, float, int]] = None,
    offset: Optional[Union[str, float, int]] = None,
    feedback: Optional[str] = None,
    registers: bool = False,
    tolerance: Optional[Union[str, float, int]] = None,
    spur_clear: Optional[Union[str, float, int]] = None,
    prefer: Optional[str] = None,
) -> dict[str, Any]:
    """The fields of ``synthfactors-cli --json`` for one RF output (MHz)."""

def sweep(
    start: Input,
    stop: Input,
    step: Input,
    mult: Input = "1",
    ref: Input = "10",
    min_fc: Input = "5",
    max_fc: Input = "100",
    *,
    r_range: Range = None,
    n_range: Range = None,
    common_r: bool = False,
    decimal_symbol: str = ".",
    chip: Optional[Union[str, os.PathLike[str]]] = None,
    prescaler: Optional[int] = None,
    fom: Optional[Union[str, float, int]] = None,
    flicker: Optional[Union[str, float, int]] = None,
    offset: Optional[Union[str, float, int]] = None,
    feedback: Optional[str] = None,
    registers: bool = False,
    tolerance: Optional[Union[str, float, int]] = None,
    spur_clear: Optional[Union[str, float, int]] = None,
    prefer: Optional[str] = None,
) -> dict[str, Union[numpy.ndarray, dict[str, Any]]]:
    """The columns of ``synthfactors-cli --sweep START:STOP:STEP`` as arrays.

    ``r`` and ``n`` are int64, or float64 when a divider is 2**63 or more."""

def decode(
    chip: Union[str, os.PathLike[str]],
    ref: Union[str, float, int],
    words: Sequence[Union[str, int]],
) -> dict[str, Any]:
    """A chip's register words read back, as ``synthfactors-cli --decode --json``."""

def inputs() -> list[dict[str, Any]]:
    """The table of inputs: key, flag, value_name, help, start, unit, modes."""

def chips() -> list[dict[str, str]]:
    """The shipped chip profiles: name, description and source."""
