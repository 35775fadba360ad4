"""The run's picture: the notes as the driver wrote them and as the
synthesizer received them on one time axis, a close look at the densest
instant, and the distribution of the delay from ring write to arrival with
the pump's 10 ms period marked."""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.patches import Patch  # noqa: E402

from capture import percentiles  # noqa: E402

PUMP_PERIOD_MS = 10
WRITTEN_COLOUR = "#9aa5b1"
ARRIVED_COLOUR = "#d1495b"


def notes(events, seconds):
    """(start s, end s, key, channel) of each note in (counter, value) events."""
    sounding, out = {}, []
    for counter, value in events:
        status, key, velocity = value & 0xF0, (value >> 8) & 0x7F, (value >> 16) & 0x7F
        channel = value & 0x0F
        if status == 0x90 and velocity > 0:
            sounding.setdefault((channel, key), []).append(seconds(counter))
        elif status in (0x80, 0x90) and sounding.get((channel, key)):
            out.append((sounding[(channel, key)].pop(0), seconds(counter), key, channel))
    return out


def densest_instant(capture):
    """The write counter of the instant with the most messages."""
    best, best_count, run_start, run = None, 0, None, 0
    for counter, _ in capture.writes:
        if run_start is not None and counter - run_start < capture.freq // 2000:
            run += 1
        else:
            run_start, run = counter, 1
        if run > best_count:
            best, best_count = run_start, run
    return best, best_count


def draw(capture, title, path):
    seconds = capture.seconds
    written = notes(capture.writes, seconds)
    arrived = notes(capture.arrivals, seconds)
    delays_ms = [d / 1000 for d in capture.delays_us()]

    fig = plt.figure(figsize=(10, 7.2), dpi=100)
    grid = fig.add_gridspec(2, 2, height_ratios=[1.25, 1], width_ratios=[1, 1.15], hspace=0.42, wspace=0.22)
    roll = fig.add_subplot(grid[0, :])
    roll.set_title(title, fontsize=13, loc="left", pad=26)
    for start, end, key, _ in written:
        roll.barh(key, end - start, left=start, height=0.9, color=WRITTEN_COLOUR, linewidth=0)
    for start, end, key, _ in arrived:
        roll.barh(key, end - start, left=start, height=0.38, color=ARRIVED_COLOUR, linewidth=0)
    roll.set_xlabel("time from the song's start (s)", fontsize=11)
    roll.set_ylabel("MIDI key", fontsize=11)
    roll.legend(handles=[Patch(color=WRITTEN_COLOUR, label="written into the ring by the driver (wide)"),
                         Patch(color=ARRIVED_COLOUR, label="received by the synthesizer (narrow)")],
                loc="lower left", bbox_to_anchor=(0, 1.01), ncol=2, fontsize=10, frameon=False)
    roll.tick_params(labelsize=10)
    roll.margins(x=0.01)

    # Close to the densest instant, note onsets show the pump's pace.
    zoom = fig.add_subplot(grid[1, 0])
    centre, count = densest_instant(capture)
    t0 = seconds(centre) if centre is not None else 0
    window = (t0 - 0.005, t0 + 0.045)
    for events, colour, marker, size, label in ((capture.writes, WRITTEN_COLOUR, "o", 40, "written"),
                                                (capture.arrivals, ARRIVED_COLOUR, ".", 30, "received")):
        xs, ys = [], []
        for n, (counter, _) in enumerate(events):
            t = seconds(counter)
            if window[0] <= t <= window[1]:
                xs.append((t - t0) * 1000)
                ys.append(n)
        zoom.scatter(xs, ys, s=size, c=colour, marker=marker, linewidths=0, label=label)
    zoom.legend(loc="lower right", fontsize=9)
    zoom.set_title(f"densest instant: {count} messages at {t0:.2f} s", fontsize=11, loc="left")
    zoom.set_xlabel("ms after that instant's writes (at most 64 a pump tick)", fontsize=10)
    zoom.set_ylabel("message number", fontsize=10)
    zoom.tick_params(labelsize=9)

    hist = fig.add_subplot(grid[1, 1])
    if delays_ms:
        median, p99, top = percentiles(delays_ms)
        # A log scale keeps the few long delays of the tail in sight.
        hist.hist(delays_ms, bins=60, color=ARRIVED_COLOUR, alpha=0.85)
        hist.set_yscale("log")
        hist.axvline(PUMP_PERIOD_MS, color="black", linestyle="--", linewidth=1.2)
        hist.text(PUMP_PERIOD_MS, hist.get_ylim()[1] * 0.7, " 10 ms pump period", fontsize=9, va="top")
        hist.axvline(median, color="#2e4057", linewidth=1)
        hist.text(median, hist.get_ylim()[1] * 0.25, " median", fontsize=9, va="top", color="#2e4057")
        hist.set_title(f"delay, write to arrival: median {median:.1f}, p99 {p99:.1f}, max {top:.1f} ms",
                       fontsize=11, loc="left")
    hist.set_xlabel("delay (ms)", fontsize=10)
    hist.set_ylabel("messages (log scale)", fontsize=10)
    hist.tick_params(labelsize=9)
    fig.savefig(path, bbox_inches="tight")
    plt.close(fig)
