// The Companion instance: hands its settings to the link, and turns the link's status, state
// and lists into Companion's status, variables, feedbacks, actions and presets.
import { InstanceBase, InstanceStatus } from '@companion-module/base';
import { actionDefinitions } from './actions.js';
import { configFields, readConfig } from './config.js';
import { feedbackDefinitions } from './feedbacks.js';
import { EngineLink, Status } from './link.js';
import { presetDefinitions } from './presets.js';
import { changedValues, variableDefinitions, variableValues } from './variables.js';

export const UpgradeScripts = [];

export default class ZylEngineInstance extends InstanceBase {
  async init(config, _isFirstInit, secrets) {
    this.values = null;
    this.sequences = [];
    this.setVariableDefinitions(variableDefinitions());
    this.startLink(config, secrets);
  }

  async configUpdated(config, secrets) {
    await this.link?.stop();
    this.startLink(config, secrets);
  }

  async destroy() {
    await this.link?.stop();
    this.link = null;
  }

  getConfigFields() {
    return configFields(this.sequences);
  }

  startLink(config, secrets) {
    const settings = readConfig(config, secrets);
    const link = new EngineLink({
      settings,
      onStatus: (level, message) => this.updateStatus(level, message),
      onState: (state) => {
        const values = variableValues(state);
        const changed = changedValues(this.values, values);
        this.values = values;
        if (Object.keys(changed).length > 0) this.setVariableValues(changed);
        this.checkAllFeedbacks();
      },
      onLists: (lists) => {
        this.sequences = lists.sequences;
        this.setActionDefinitions(actionDefinitions(link, lists));
      },
      log: (level, message) => this.log(level, message),
    });
    this.link = link;
    this.setActionDefinitions(actionDefinitions(link));
    this.setFeedbackDefinitions(feedbackDefinitions(link));
    const { structure, presets } = presetDefinitions(this.label);
    this.setPresetDefinitions(structure, presets);
    this.values = null;
    link.onState(link.state);
    if (settings.problem) {
      this.updateStatus(InstanceStatus.BadConfig, settings.problem);
      return;
    }
    link.start();
  }
}

