"""Ticks and timecode text on one sequence, converted as the engine derives the playhead's
position: SMPTE HH:MM:SS:FF at the sequence's nominal rate (ticks per second over ticks per
frame, rounded), drop-frame numbering at 29.97 and 59.94 only, positions counted from the
sequence's zero point. `sequence` is a sequence.get record (or a `sequence` push)."""
import re
from typing import Any, Mapping, NamedTuple, Optional

INT64_MAX = (1 << 63) - 1
# ASCII digits only, and nothing after the frames (not even a newline).
_TIMECODE = re.compile(r"([0-9]{2,6})([:;.])([0-9]{2})([:;.])([0-9]{2})([:;.])([0-9]{2,4})", re.ASCII)


class _Timing(NamedTuple):
    ticks_per_frame: int
    zero_point: int
    nominal: int
    drop_per_minute: int
    drop_frame: bool


def _integer(value: Any) -> Optional[int]:
    return value if isinstance(value, int) and not isinstance(value, bool) else None


def _timing(sequence: Mapping[str, Any]) -> Optional[_Timing]:
    ticks_per_second = _integer(sequence.get("ticksPerSecond"))
    ticks_per_frame = _integer(sequence.get("ticksPerFrame"))
    zero_point = _integer(sequence.get("zeroPointTicks"))
    if ticks_per_second is None or ticks_per_frame is None or zero_point is None:
        return None
    if ticks_per_second <= 0 or ticks_per_frame <= 0:
        return None
    remainder = ticks_per_second % ticks_per_frame
    nominal = ticks_per_second // ticks_per_frame + (1 if remainder >= ticks_per_frame - remainder else 0)
    if nominal <= 0:
        return None
    # Frame numbers dropped each minute but every tenth: 2 at 29.97, 4 at 59.94, none elsewhere.
    second_side = ticks_per_second * 1001
    drop_per_minute = 0
    if second_side <= INT64_MAX and ticks_per_frame * 30000 == second_side:
        drop_per_minute = 2
    elif second_side <= INT64_MAX and ticks_per_frame * 60000 == second_side:
        drop_per_minute = 4
    return _Timing(ticks_per_frame, zero_point, nominal, drop_per_minute, sequence.get("dropFrame") is True)


def timecode_to_ticks(text: str, sequence: Mapping[str, Any]) -> Optional[int]:
    """The position `text` names on the sequence, in ticks; None when the text is no such
    timecode there, the sequence's timing is unknown, or the position is negative."""
    timing = _timing(sequence)
    match = _TIMECODE.fullmatch(text) if isinstance(text, str) else None
    if timing is None or match is None:
        return None
    hh, s1, mm, s2, ss, s3, ff = match.groups()
    # The hours and minutes end alike: with ':', or with the mark before the frames.
    if s1 != s2 or (s1 != ":" and s1 != s3):
        return None
    marked = s3 != ":"
    hours, minutes, seconds, frames = int(hh), int(mm), int(ss), int(ff)
    if minutes >= 60 or seconds >= 60 or frames >= timing.nominal:
        return None
    if marked and timing.drop_per_minute == 0:
        return None
    drop_frame = timing.drop_per_minute > 0 and (marked or timing.drop_frame)
    total_minutes = hours * 60 + minutes
    frame = (total_minutes * 60 + seconds) * timing.nominal + frames
    if drop_frame:
        if seconds == 0 and frames < timing.drop_per_minute and total_minutes % 10 != 0:
            return None
        frame -= timing.drop_per_minute * (total_minutes - total_minutes // 10)
    ticks = frame * timing.ticks_per_frame
    if frame > INT64_MAX or ticks > INT64_MAX:
        return None
    position = ticks - timing.zero_point
    return position if 0 <= position <= INT64_MAX else None


def ticks_to_timecode(ticks: int, sequence: Mapping[str, Any]) -> Optional[str]:
    """The timecode text of the position `ticks` on the sequence: whole frames down, hours past
    24 wrapping, ';' before the frames for drop-frame; None for a negative position or an
    unknown timing."""
    timing = _timing(sequence)
    if timing is None or _integer(ticks) is None or ticks < 0 or ticks + timing.zero_point < 0:
        return None
    nominal, drop = timing.nominal, timing.drop_per_minute
    frame = (ticks + timing.zero_point) // timing.ticks_per_frame
    drop_frame = drop > 0 and timing.drop_frame
    if drop_frame:
        # Put back the frame numbers the labels skip, so that the labels count plainly.
        per_ten_minutes = nominal * 600 - drop * 9
        per_minute = nominal * 60 - drop
        tens, rest = divmod(frame, per_ten_minutes)
        frame += drop * 9 * tens
        if rest > drop:
            frame += drop * ((rest - drop) // per_minute)
    frames = frame % nominal
    seconds = frame // nominal % 60
    minutes = frame // (nominal * 60) % 60
    hours = frame // (nominal * 3600) % 24
    return f"{hours:02d}:{minutes:02d}:{seconds:02d}{';' if drop_frame else ':'}{frames:02d}"
