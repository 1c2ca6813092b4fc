// The camera on air and the playhead, as the engine derives them from the editor's timecode
// (the playhead topic): the angle button of the camera on air lights red (tally), and the
// timecode shows where the playhead is on the timeline the engine reads it against.
import { $, setText } from './dom.mjs';

function lightOnAir(angle) {
  for (const button of $('angle-buttons').children) {
    button.classList.toggle('on-air', angle !== null && Number(button.dataset.angle) === angle);
  }
}

export function showPlayhead(playhead) {
  if (playhead.timecode === null) {
    setText('playhead', 'no timecode from the editor yet');
  } else {
    const where = playhead.timelineID === null ? '' : ` · timeline ${playhead.timelineID}`;
    setText('playhead', `playhead ${playhead.timecode}${where}`);
  }
  setText('on-air', playhead.angle === null ? 'no camera on air' : `camera ${playhead.angle} on air`);
  lightOnAir(playhead.angle);
}

// The tally shows the editor's state, so it goes dark when the page no longer hears it.
export function clearPlayhead() {
  setText('playhead', 'no playhead while not connected');
  setText('on-air', '');
  lightOnAir(null);
}
