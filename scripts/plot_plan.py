"""Draws a channel plan: the output error and the comparison frequency of
every channel, for the per-channel choice and, when asked, for one R; with
a loop filter, also the rms jitter of every channel and one channel's phase
noise, each source and the total, with the jitter band shaded."""

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
    parser.add_argument("--chip", help="a chip profile: a shipped name or a file")
    parser.add_argument("--fom", help="PLL figure of merit, dBc/Hz")
    parser.add_argument("--flicker", help="normalised 1/f noise, dBc/Hz")
    loop = parser.add_argument_group("loop filter (as synthfactors-cli)")
    for flag in ("--loop-bandwidth", "--phase-margin", "--filter-order", "--gamma", "--t31",
                 "--filter", "--cp-current", "--kvco", "--vco-noise", "--ref-noise",
                 "--jitter-band"):
        loop.add_argument(flag)
    loop.add_argument("--noise-at", help="the RF output (MHz) whose loop noise is drawn "
                                         "(default: the band's middle channel)")
    parser.add_argument("-o", "--output", default="channel-plan.png", help="the PNG to write")
    return parser.parse_args()


def draw(axes, plan, label, colour, first):
    rf = plan["rf_out"].astype(float)
    exact = plan["exact"]
    error, comparison = axes[0], axes[1]
    error.plot(rf, plan["error_hz"], color=colour, linewidth=0.8, label=label)
    # The first plan's exact channels as rings, so a second plan's dots show
    # inside them where both agree.
    error.scatter(rf[exact], plan["error_hz"][exact], s=40 if first else 10,
                  facecolors="none" if first else colour, edgecolors=colour, marker="o",
                  label=f"{label}: exact ({numpy.count_nonzero(exact)} of {len(rf)})")
    comparison.step(rf, plan["comparison_khz"], where="mid", color=colour, linewidth=0.9,
                    label=label)


SOURCES = [("total_dbc_hz", "total", "black", 2.2), ("pll_dbc_hz", "PLL", "tab:green", 1),
           ("vco_dbc_hz", "VCO", "tab:orange", 1), ("reference_dbc_hz", "reference", "tab:purple", 1),
           ("resistors_dbc_hz", "resistors", "tab:red", 1)]


def draw_noise(axes, plan, args, common):
    """One channel's loop noise with the band's filter (its sweep row's
    parts), as the planner draws it."""
    rf = plan["rf_out"]
    index = (len(rf) - 1) // 2 if args.noise_at is None else int(
        numpy.argmin(numpy.abs(rf.astype(float) - float(args.noise_at))))
    parts = [plan[name][index] for name in ("c1_f", "c2_f", "r2_ohm", "c3_f", "r3_ohm")]
    given = {key: value for key, value in common.items()
             if key not in ("loop_bandwidth", "phase_margin", "filter_order", "gamma", "t31")}
    given["filter"] = parts[:3] if numpy.isnan(parts[3]) else parts
    curve = synthfactors.noise_curve(rf[index], **given)
    for key, label, colour, width in SOURCES:
        if not numpy.all(numpy.isnan(curve[key])):
            axes.semilogx(curve["offset_hz"], curve[key], color=colour, linewidth=width, label=label)
    low, high = curve["jitter_band_hz"]
    axes.axvspan(low, high, color="steelblue", alpha=0.12, label="jitter band")
    total = curve["total_dbc_hz"]
    axes.set_ylim(10 * numpy.floor((total.min() - 20) / 10), 10 * numpy.ceil((total.max() + 5) / 10))
    axes.set_xlabel("offset (Hz)")
    axes.set_ylabel("dBc/Hz")
    axes.set_title(f"Loop noise at {rf[index]} MHz (RF output), jitter "
                   f"{plan['jitter_fs'][index]:.4g} fs rms", fontsize=9)
    axes.grid(True, which="both", linewidth=0.3)
    axes.legend(fontsize=8, loc="best")


def main():
    args = arguments()
    try:
        start, stop, step = args.grid.split(":")
    except ValueError:
        sys.exit("scripts/plot-plan: the grid is FROM:TO:STEP")
    common = dict(mult=args.mult, ref=args.ref, min_fc=args.min_fc, max_fc=args.max_fc,
                  r_range=args.r_range, n_range=args.n_range, chip=args.chip, fom=args.fom,
                  flicker=args.flicker)
    loop_keys = ("loop_bandwidth", "phase_margin", "filter_order", "gamma", "t31", "filter",
                 "cp_current", "kvco", "vco_noise", "ref_noise", "jitter_band")
    common.update({key: getattr(args, key) for key in loop_keys if getattr(args, key) is not None})
    has_loop = "loop_bandwidth" in common or "filter" in common
    try:
        plans = [("each channel's own R", synthfactors.sweep(start, stop, step, **common),
                  "tab:blue")]
        if args.common_r:
            one = synthfactors.sweep(start, stop, step, **common, common_r=True)
            plans.append((f"one R ({one['common_r']['common_r']})", one, "tab:orange"))
    except ValueError as error:
        sys.exit(f"scripts/plot-plan: {error}")

    if has_loop:
        figure = plt.figure(figsize=(9, 11), dpi=100)
        grid = figure.add_gridspec(4, 1, height_ratios=[1, 1, 1, 1.3])
        axes = [figure.add_subplot(grid[0])]
        axes += [figure.add_subplot(grid[i], sharex=axes[0]) for i in (1, 2)]
        noise_axes = figure.add_subplot(grid[3])
    else:
        figure, axes = plt.subplots(2, 1, sharex=True, figsize=(9, 6.5), dpi=100)
    for index, (label, plan, colour) in enumerate(plans):
        draw(axes, plan, label, colour, index == 0)
        if has_loop:
            axes[2].plot(plan["rf_out"].astype(float), plan["jitter_fs"], color=colour,
                         linewidth=0.9, label=label)
    if has_loop:
        axes[2].set_ylabel("rms jitter (fs)")
        axes[2].legend(fontsize=8, loc="best")
        draw_noise(noise_axes, plans[0][1], args, common)
    axes[0].set_ylabel("output error (Hz)")
    axes[0].axhline(0, color="grey", linewidth=0.5)
    axes[0].legend(fontsize=8, loc="best")
    axes[1].set_ylabel("comparison frequency (kHz)")
    axes[-1].set_xlabel("RF output (MHz)")
    axes[1].legend(fontsize=8, loc="best")
    figure.suptitle(f"Channel plan {args.grid} MHz, ×{args.mult}, reference {args.ref} MHz, "
                    f"comparison {args.min_fc} to {args.max_fc} kHz", fontsize=10)
    figure.tight_layout()
    figure.savefig(args.output)
    print(f"Wrote {args.output}")


if __name__ == "__main__":
    main()
