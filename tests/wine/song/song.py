#!/usr/bin/python3
"""A song through the emulator under Wine, the Linux side of it.

    song.py check SONG.mid
        says whether the file can be played (exit 2 with the reason if not)
    song.py script SONG.mid DRIVER.txt
        writes the trap driver stand-in's script for the song
    song.py report SONG.mid RUN_DIR OUT_DIR
        reads the run's record (RUN_DIR: writes.txt, arrivals.txt,
        DOVORAV.LOG), writes OUT_DIR/NAME-received.mid (what the synthesizer got,
        when), OUT_DIR/NAME.wav (rendered with FluidSynth) and
        OUT_DIR/NAME.png, and prints the playback report; exit 1 when any
        message was lost, doubled or reordered, or nothing could be rendered

Run with /usr/bin/python3 (Debian's mido and matplotlib).
"""
import os
import subprocess
import sys
import tempfile
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from capture import Capture, CaptureError, percentiles  # noqa: E402
from smf import SongError, describe_skipped, driver_script, read_song  # noqa: E402

SOUNDFONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"


# After the last arrival: the releases and the reverb, then all sound off.
TAIL_S = 1.5
# FluidSynth renders on after a file's end while any voice sounds (about 2 s
# more even when all is silenced); a render that goes this far past the time
# it was asked for, in sound or in running time, is stopped.
RENDER_SLACK_S = 10


def render(midi_path, wav_path, seconds):
    """FluidSynth, offline, 44.1 kHz, of a file that lasts about seconds;
    None when it worked, else the reason. A render stopped for going on too
    long leaves no WAV."""
    if not os.path.exists(SOUNDFONT):
        return f"no soundfont at {SOUNDFONT} (Debian package timgm6mb-soundfont)"
    if os.path.exists(wav_path):
        os.remove(wav_path)
    most_bytes = (seconds + RENDER_SLACK_S) * 44100 * 4  # 16-bit stereo
    patience = 60 + 2 * (seconds + RENDER_SLACK_S)
    deadline = time.monotonic() + patience
    renderer = subprocess.Popen(["fluidsynth", "-ni", "-q", "-r", "44100", "-g", "0.5", "-F", wav_path, SOUNDFONT,
                                 midi_path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    while True:
        try:
            output = renderer.communicate(timeout=0.05)[0]
            break
        except subprocess.TimeoutExpired:
            grown = os.path.exists(wav_path) and os.path.getsize(wav_path) > most_bytes
            if grown or time.monotonic() > deadline:
                renderer.kill()
                renderer.communicate()
                if os.path.exists(wav_path):
                    os.remove(wav_path)
                limit = (f"went on past {seconds + RENDER_SLACK_S:.0f} s of sound" if grown
                         else f"ran longer than {patience:.0f} s")
                return f"fluidsynth was stopped: it {limit} (the render should last {seconds:.1f} s)"
    if renderer.returncode != 0 or not os.path.exists(wav_path):
        return f"fluidsynth failed ({renderer.returncode}): {output.strip()[-300:]}"
    return None


def trim_wav(path, seconds):
    """Cuts the near-silent tail FluidSynth leaves after the last release."""
    with wave.open(path) as w:
        params = w.getparams()
        frames = w.readframes(min(w.getnframes(), int(seconds * w.getframerate())))
    with wave.open(path, "wb") as w:
        w.setparams(params)
        w.writeframes(frames)


def wav_facts(path):
    """(seconds, root mean square of the samples, 0..1)."""
    with wave.open(path) as w:
        frames = w.readframes(w.getnframes())
        seconds = w.getnframes() / w.getframerate()
        width = w.getsampwidth()
    if width != 2 or not frames:
        return seconds, 0.0
    import array
    samples = array.array("h", frames)
    square = sum(s * s for s in samples[::7]) / max(1, len(samples[::7]))
    return seconds, square ** 0.5 / 32768


def report(song_path, run_dir, out_dir):
    song = read_song(song_path)
    capture = Capture(os.path.join(run_dir, "writes.txt"), os.path.join(run_dir, "arrivals.txt"),
                      os.path.join(run_dir, "DOVORAV.LOG"))
    os.makedirs(out_dir, exist_ok=True)
    name = os.path.splitext(os.path.basename(song_path))[0]
    midi_path, wav_path, png_path = (os.path.join(out_dir, name + ext) for ext in ("-received.mid", ".wav", ".png"))
    ok = True
    say = print
    sizes = [len(group) for _, group in song.instants]
    say(f"song: {song_path} (format {song.format}, {song.tracks} tracks, {song.length_us / 1e6:.1f} s)")
    say(f"  messages written: {len(capture.written)} at {capture.summary['instants']} instants "
        f"(largest instant {max(sizes)} messages, {sum(s > 64 for s in sizes)} instants over 64)")
    if capture.written != song.messages:
        say(f"  the driver wrote {len(capture.written)} messages, the file holds {len(song.messages)}")
        ok = False
    comparison = capture.comparison
    if comparison.exact:
        say(f"  received: {len(capture.arrived)}, each once and in order")
    else:
        ok = False
        say(f"  received: {len(capture.arrived)} of {len(capture.written)}, NOT each once and in order:")
        for line in comparison.describe(capture.written, capture.arrived):
            say("    " + line)
    say(f"  other events skipped (not short messages): {describe_skipped(song.skipped)}")
    waits = capture.summary["waits"]
    say(f"  writer waited for room: {waits} times, {capture.summary['waited_us'] / 1000:.1f} ms in all "
        f"(each instant began writing at most {capture.summary['late_us'] / 1000:.1f} ms after its time)")
    delays = capture.delays_us()
    if delays:
        median, p99, top = percentiles([d / 1000 for d in delays])
        say(f"  delay ring write to synthesizer: median {median:.1f} ms, p99 {p99:.1f} ms, max {top:.1f} ms "
            f"({len(delays)} messages)")
        with open(os.path.join(out_dir, "row.md"), "w") as row:
            row.write(f"| Wine: song ring to synth ({len(delays)}/{len(capture.written)} msgs, {waits} waits) "
                      f"| median {median * 1000:.0f} us | p99 {p99 * 1000:.0f} us | max {top * 1000:.0f} us |\n")
    held = capture.held_at_end()
    where = ", ".join(f"channel {c + 1}: {n}" for c, n in sorted(held.items()))
    say(f"  notes held at the end: {sum(held.values())} ({where}); the sound releases them there "
        f"and is silenced {TAIL_S} s later" if held else "  notes held at the end: none")
    capture.capture_midi().save(midi_path)
    last = capture.seconds(capture.arrivals[-1][0]) if capture.arrivals else 0
    with tempfile.TemporaryDirectory() as scratch:
        ended = os.path.join(scratch, "ended.mid")
        capture.capture_midi(tail_s=TAIL_S).save(ended)
        problem = render(ended, wav_path, last + TAIL_S)
    if problem:
        say(f"  sound: none, {problem}")
        ok = False
    else:
        trim_wav(wav_path, last + TAIL_S)
        seconds, rms = wav_facts(wav_path)
        say(f"  sound: {wav_path} ({seconds:.1f} s, RMS {rms:.4f})")
    from picture import draw
    draw(capture, f"{name}: {len(capture.written)} messages through Qtmpu.exe under Wine", png_path)
    say(f"  picture: {png_path}")
    say(f"  received as a MIDI file: {midi_path}")
    return ok


def main(argv):
    try:
        if len(argv) == 2 and argv[0] == "check":
            song = read_song(argv[1])
            print(f"{argv[1]}: {len(song.messages)} channel messages, {song.length_us / 1e6:.1f} s")
            return 0
        if len(argv) == 3 and argv[0] == "script":
            with open(argv[2], "w", newline="\r\n") as f:
                f.write(driver_script(read_song(argv[1])))
            return 0
        if len(argv) == 4 and argv[0] == "report":
            return 0 if report(*argv[1:]) else 1
    except SongError as e:
        print(f"song: {e}", file=sys.stderr)
        return 2
    except CaptureError as e:
        print(f"song: the run left no usable record: {e}", file=sys.stderr)
        return 1
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
