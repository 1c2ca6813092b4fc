// The actions: camera buttons, host commands, and markers. Each calls the link; the lists in
// the dropdowns are what the engine gave last, and any other value may be typed in.

export const ANGLES = Array.from({ length: 16 }, (_, index) => index + 1);

export function actionDefinitions(link, { commands = [], markers = [] } = {}) {
  return {
    set_angle: {
      name: 'Switch camera (multicam angle)',
      description: 'Runs the editor\'s camera command, which acts wherever the editor\'s focus is',
      options: [{ type: 'number', id: 'angle', label: 'Camera', default: 1, min: 1, max: 16, asInteger: true }],
      callback: async ({ options }) => {
        await link.setAngle(angleOption(options.angle));
      },
    },
    run_command: {
      name: 'Run an editor command',
      description: 'One of the commands the editor lists; type an id for one not listed',
      options: [{
        type: 'dropdown',
        id: 'command',
        label: 'Command',
        default: commands[0]?.id ?? '',
        allowCustom: true,
        minChoicesForSearch: 10,
        choices: commands.map((command) => ({ id: command.id, label: commandLabel(command) })),
      }],
      callback: async ({ options }) => {
        const id = String(options.command ?? '').trim();
        if (id === '') throw new Error('no command chosen');
        await link.runCommand(id);
      },
    },
    refresh_markers: {
      name: 'Refresh markers',
      description: 'Reads the timeline\'s markers again (count and the marker list below)',
      options: [],
      callback: async () => {
        await link.refreshMarkers();
      },
    },
    angle_at_marker: {
      name: 'Camera at a marker into a variable',
      description: 'Looks up the camera at the first marker with this exact name into $(zyl:marker_angle)',
      options: [{
        type: 'dropdown',
        id: 'marker',
        label: 'Marker',
        default: markerNames(markers)[0] ?? '',
        allowCustom: true,
        choices: markerNames(markers).map((name) => ({ id: name, label: name })),
      }],
      callback: async ({ options }) => {
        const name = String(options.marker ?? '');
        if (name === '') throw new Error('no marker chosen');
        await link.angleAtMarker(name);
      },
    },
  };
}

// A number field may still hold text or a fraction when set through an expression.
export function angleOption(value) {
  const angle = Number(value);
  if (!Number.isInteger(angle) || angle < 1 || angle > 16) throw new Error(`camera ${value} is not 1 to 16`);
  return angle;
}

function commandLabel(command) {
  return command.category ? `${command.category}: ${command.name}` : command.name;
}

// Names once each, in the timeline's order; unnamed markers cannot be looked up by name.
function markerNames(markers) {
  return [...new Set(markers.map((marker) => marker.name).filter((name) => typeof name === 'string' && name !== ''))];
}
