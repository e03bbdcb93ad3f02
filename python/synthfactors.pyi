"""Exact divider calculation for integer-N PLL synthesisers."""

import os
from typing import Any, Optional, Sequence, Union

import numpy

Input = Union[str, int, float, numpy.integer, numpy.floating]
Range = Union[str, Sequence[Union[int, float]], None]
Number = Optional[Union[str, float, int]]
Numbers = Optional[Union[str, Sequence[Union[int, float]], numpy.ndarray]]
Points = Optional[Union[str, Sequence[Sequence[Union[int, float]]]]]

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
    ref_path: Optional[str] = None,
    mash_order: Optional[int] = None,
    loop_bandwidth: Number = None,
    phase_margin: Number = None,
    filter_order: Optional[Union[int, str]] = None,
    gamma: Number = None,
    t31: Number = None,
    filter: Numbers = None,
    cp_current: Number = None,
    kvco: Number = None,
    vco_noise: Points = None,
    ref_noise: Points = None,
    noise_offsets: Numbers = None,
    jitter_band: Range = None,
    lock_jump: Number = None,
    lock_tolerance: Number = None,
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
    ref_path: Optional[str] = None,
    mash_order: Optional[int] = None,
    loop_bandwidth: Number = None,
    phase_margin: Number = None,
    filter_order: Optional[Union[int, str]] = None,
    gamma: Number = None,
    t31: Number = None,
    filter: Numbers = None,
    cp_current: Number = None,
    kvco: Number = None,
    vco_noise: Points = None,
    ref_noise: Points = None,
    noise_offsets: Numbers = None,
    jitter_band: Range = None,
    lock_jump: Number = None,
    lock_tolerance: Number = None,
) -> dict[str, Union[numpy.ndarray, dict[str, Any]]]:
    """The columns of ``synthfactors-cli --sweep START:STOP:STEP`` as arrays.

    ``r`` and ``n`` are int64, or float64 when a divider is 2**63 or more."""

def noise_curve(
    rf_out: Input,
    mult: Input = "1",
    ref: Input = "10",
    min_fc: Input = "5",
    max_fc: Input = "100",
    *,
    offsets: Numbers = None,
    r_range: Range = None,
    n_range: Range = None,
    fom: Number = None,
    decimal_symbol: str = ".",
    chip: Optional[Union[str, os.PathLike[str]]] = None,
    prescaler: Optional[int] = None,
    flicker: Number = None,
    offset: Number = None,
    feedback: Optional[str] = None,
    tolerance: Number = None,
    spur_clear: Number = None,
    prefer: Optional[str] = None,
    ref_path: Optional[str] = None,
    mash_order: Optional[int] = None,
    loop_bandwidth: Number = None,
    phase_margin: Number = None,
    filter_order: Optional[Union[int, str]] = None,
    gamma: Number = None,
    t31: Number = None,
    filter: Numbers = None,
    cp_current: Number = None,
    kvco: Number = None,
    vco_noise: Points = None,
    ref_noise: Points = None,
    noise_offsets: None = None,
    jitter_band: Range = None,
    lock_jump: Number = None,
    lock_tolerance: Number = None,
) -> dict[str, Any]:
    """The loop's phase noise of one run at many offsets: NumPy arrays per source."""

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
