// The sensor widget's script. The widget host publishes one controller per
// widget instance; here it is reached as `PluginController`, whose calls go to
// the host's /bridge and answer with promises. Each browser tab is one widget
// instance with an identifier of its own, kept in the tab's sessionStorage so
// that a reload finds the same choices.
'use strict';

(() => {
  const INSTANCE_STORAGE_KEY = 'zorsensors.widgetInstance';
  const REFRESH_MILLISECONDS = 3000;
  const HISTORY_POINTS = 1200;  // one hour at the refresh rate; min and max cover all
  const CSS_PIXELS_PER_POINT = 96 / 72;

  function widgetInstanceIdentifier() {
    let identifier = null;
    try {
      identifier = sessionStorage.getItem(INSTANCE_STORAGE_KEY);
    } catch (e) {
      // Storage may be off; the tab then gets a fresh instance on every load.
    }
    if (!identifier || !/^[0-9a-f]{32}$/.test(identifier)) {
      const bytes = new Uint8Array(16);
      crypto.getRandomValues(bytes);
      identifier = Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
      try {
        sessionStorage.setItem(INSTANCE_STORAGE_KEY, identifier);
      } catch (e) {
        // See above.
      }
    }
    return identifier;
  }

  // One bridge per page. Calls are sent one after another, in the order the
  // script makes them, as the plug-in answered them on one thread.
  class Bridge {
    constructor(instance) {
      this.instance = instance;
      this.nextId = 1;
      this.queue = Promise.resolve();
      this.setUpAgain = null;  // set up a controller the host made anew
    }

    async send(request) {
      const response = await fetch('bridge', {
        method: 'POST',
        headers: {'Content-Type': 'application/json'},
        body: JSON.stringify(request),
        cache: 'no-store',
      });
      return response.json();
    }

    async callNow(name, args) {
      const answer =
          await this.send({id: this.nextId++, instance: this.instance, call: name, args});
      if (answer.newInstance && name !== 'setWidgetIdentifier' && this.setUpAgain) {
        // The host let go of this tab's controller while it was silent (or
        // restarted); tell the new one who it is before asking again.
        await this.setUpAgain((n, a) => this.callNow(n, a));
        return this.callNow(name, args);
      }
      if ('error' in answer) throw new Error(name + ': ' + answer.error);
      return answer.result;
    }

    call(name, args) {
      const result = this.queue.then(() => this.callNow(name, args));
      this.queue = result.catch(() => undefined);
      return result;
    }

    drop() {
      const body = JSON.stringify({id: 0, instance: this.instance, drop: true});
      navigator.sendBeacon('bridge', new Blob([body], {type: 'application/json'}));
    }
  }

  const bridge = new Bridge(widgetInstanceIdentifier());

  // The script sees the controller under the name "PluginController".
  window.PluginController = new Proxy({}, {
    get(target, name) {
      if (typeof name !== 'string' || name === 'then') return undefined;
      return (...args) => bridge.call(name, args);
    },
  });
  const controller = window.PluginController;

  const $ = (id) => document.getElementById(id);
  const texts = new Map();
  const positions = [0, 1].map((d) => ({
    displayIndex: d,
    element: $('position' + d),
    sensorIndex: -1,
    history: null,
    // What the position shows now, so that an unchanged reading costs no
    // layout and no canvas work: the reading's text, the history drawn and
    // whether its line was drawn, and the canvas's size in CSS pixels.
    shownReading: null,
    drawnHistory: null,
    drawnLine: false,
    canvasSize: null,
    // The upper and critical limits in the unit shown (null: none), the
    // level the reading shows, and whether this crossing was notified.
    limit: null,
    critical: null,
    notified: false,
  }));
  let sensorCount = 0;
  let temperatureUnit = 0;
  let refreshTimer = 0;
  // Said in the status line, once, when the host could not store a choice;
  // the next choice it stores takes it away.
  const NOT_SAVED = 'Your choices cannot be saved';
  let choiceNotice = '';

  function choose(name, args) {
    return controller[name](...args).then(() => {
      choiceNotice = '';
    }, (e) => {
      if (/ not saved/.test(e.message)) choiceNotice = text(NOT_SAVED);
    });
  }

  function text(key) {
    return texts.has(key) ? texts.get(key) : key;
  }

  async function loadTexts() {
    const keys = new Set(['Sensors', 'The sensor host does not answer', 'none', 'Lowest',
      'Highest', NOT_SAVED, 'Above the critical limit']);
    document.querySelectorAll('[data-text]').forEach((e) => keys.add(e.dataset.text));
    document.querySelectorAll('[data-title]').forEach((e) => keys.add(e.dataset.title));
    for (const key of keys) {
      texts.set(key, await controller.localizedStringForElementWithName(key));
    }
    document.querySelectorAll('[data-text]').forEach((e) => {
      e.textContent = text(e.dataset.text);
    });
    document.querySelectorAll('[data-title]').forEach((e) => {
      e.title = text(e.dataset.title);
      e.setAttribute('aria-label', e.title);
    });
    document.title = text('Sensors');
  }

  // The widest name the labels can show, in points, as the controller measures.
  function labelWidthInPoints() {
    const name = positions[0].element.querySelector('.name');
    return name.clientWidth / CSS_PIXELS_PER_POINT;
  }

  async function setUp(call) {
    await call('setWidgetIdentifier', [bridge.instance]);
    await call('setMaximumSensorNameWidth', [labelWidthInPoints()]);
  }

  // A reading's number, read back from its text ("   74.3F", "  1,2345 V").
  function numberOfReading(reading) {
    const match = /^\s*(-?\d+(?:[.,]\d+)?)/.exec(reading);
    return match ? parseFloat(match[1].replace(',', '.')) : null;
  }

  function newHistory(sensorIndex, unit) {
    return {sensorIndex, unit, values: [], lowest: null, highest: null};
  }

  function record(position, reading) {
    const history = position.history;
    const value = numberOfReading(reading);
    if (value === null || !Number.isFinite(value)) return;
    history.values.push(value);
    if (history.values.length > HISTORY_POINTS) history.values.shift();
    const shown = reading.trim();
    if (!history.lowest || value < history.lowest.value) history.lowest = {value, text: shown};
    if (!history.highest || value > history.highest.value) history.highest = {value, text: shown};
  }

  function needsDrawing(position, readingChanged) {
    const values = position.history ? position.history.values : [];
    return readingChanged || position.drawnHistory !== position.history ||
        position.drawnLine !== (values.length >= 2);
  }

  function drawHistory(position) {
    const canvas = position.element.querySelector('.sparkline');
    const values = position.history ? position.history.values : [];
    position.drawnHistory = position.history;
    position.drawnLine = values.length >= 2;
    const ratio = window.devicePixelRatio || 1;
    if (!position.canvasSize || position.canvasSize.ratio !== ratio) {
      // Measured once (and again after a resize): reading the size forces a layout.
      position.canvasSize = {width: canvas.clientWidth, height: canvas.clientHeight, ratio};
      canvas.width = Math.round(position.canvasSize.width * ratio);
      canvas.height = Math.round(position.canvasSize.height * ratio);
    }
    const {width, height} = position.canvasSize;
    const g = canvas.getContext('2d');
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    g.clearRect(0, 0, width, height);
    const range = position.element.querySelector('.range');
    const history = position.history;
    range.querySelector('.minimum').textContent =
        history && history.lowest ? text('Lowest') + ' ' + history.lowest.text : '';
    range.querySelector('.maximum').textContent =
        history && history.highest ? text('Highest') + ' ' + history.highest.text : '';
    position.element.dataset.points = String(values.length);
    if (values.length < 2) return;
    let low = Math.min(...values);
    let high = Math.max(...values);
    if (high - low < 1e-9) {
      low -= 1;
      high += 1;
    }
    const x = (i) => 1 + (i * (width - 2)) / (values.length - 1);
    const y = (v) => height - 2 - ((v - low) * (height - 4)) / (high - low);
    g.beginPath();
    values.forEach((v, i) => (i ? g.lineTo(x(i), y(v)) : g.moveTo(x(i), y(v))));
    g.strokeStyle = getComputedStyle(document.documentElement).getPropertyValue('--accent');
    g.lineWidth = 1.25;
    g.stroke();
    g.fillStyle = g.strokeStyle;
    g.beginPath();
    g.arc(x(values.length - 1), y(values[values.length - 1]), 1.8, 0, 2 * Math.PI);
    g.fill();
  }

  // Status and state change the page only when they change.
  function showStatus(message) {
    const status = $('status');
    if (status.textContent !== message) status.textContent = message;
    if (status.hidden !== !message) status.hidden = !message;
  }

  function setState(state) {
    if (document.body.dataset.state !== state) document.body.dataset.state = state;
  }

  // Names, icons and the chosen sensors: these change only with the choices.
  async function refreshLabels() {
    temperatureUnit = await controller.preferredTemperatureUnitIndex();
    for (const position of positions) {
      const d = position.displayIndex;
      position.sensorIndex = await controller.preferredSensorIndexAtDisplayIndex(d);
      const name = await controller.shownSensorNameAtDisplayIndex(d);
      const icon = await controller.relativePathForTypeIconAtDisplayIndex(d);
      await readLimits(position);
      position.element.querySelector('.name').textContent = name;
      position.element.querySelector('.icon').src = icon;
      position.element.classList.toggle('empty', position.sensorIndex < 0);
      const history = position.history;
      if (!history || history.sensorIndex !== position.sensorIndex ||
          history.unit !== temperatureUnit) {
        position.history = newHistory(position.sensorIndex, temperatureUnit);
        position.notified = false;
      }
    }
  }

  async function readLimits(position) {
    const i = position.sensorIndex;
    position.limit = numberOfReading(await controller.sensorLimitAtIndex(i));
    position.critical = numberOfReading(await controller.criticalSensorLimitAtIndex(i));
  }

  const NOTIFY_STORAGE_KEY = 'zorsensors.notifyAboveCritical';

  function notifyAllowed() {
    try {
      return localStorage.getItem(NOTIFY_STORAGE_KEY) === '1' && 'Notification' in window &&
          Notification.permission === 'granted';
    } catch (e) {
      return false;
    }
  }

  // The reading's colour follows its limits, compared as shown; one
  // notification each time a reading rises above its critical limit.
  function showLevel(position, reading) {
    const value = numberOfReading(reading);
    const above = (limit) => value !== null && limit !== null && value > limit;
    const level = above(position.critical) ? 'critical' : above(position.limit) ? 'warning' : '';
    if ((position.element.dataset.level || '') !== level) position.element.dataset.level = level;
    if (level !== 'critical') {
      position.notified = false;
    } else if (!position.notified) {
      position.notified = true;
      if (notifyAllowed()) {
        const name = position.element.querySelector('.name').textContent;
        try {
          new Notification(text('Above the critical limit'), {body: name + ': ' + reading.trim()});
        } catch (e) {
          // Some browsers allow notifications only from a service worker; the colour remains.
        }
      }
    }
  }

  async function refreshReadings() {
    for (const position of positions) {
      const reading = await controller.localizedReadingAtDisplayIndex(position.displayIndex);
      const changed = reading !== position.shownReading;
      if (changed) {
        position.element.querySelector('.reading').textContent = reading;
        position.shownReading = reading;
      }
      if (position.sensorIndex >= 0) record(position, reading);
      showLevel(position, reading);
      if (needsDrawing(position, changed)) drawHistory(position);
    }
  }

  // A hidden page (a tab in the background, a minimised window) does no work
  // at all: polling stops and starts again when the page is shown.
  async function refresh() {
    window.clearTimeout(refreshTimer);
    if (document.hidden) return;
    try {
      await refreshReadings();
      showStatus(sensorCount ? choiceNotice : await controller.localizedStatusMessage());
      setState('ready');
    } catch (e) {
      showStatus(text('The sensor host does not answer'));
      setState('offline');
    }
    // A refresh started while another was waiting for the host must not leave
    // a second timer behind.
    window.clearTimeout(refreshTimer);
    if (!document.hidden) refreshTimer = window.setTimeout(refresh, REFRESH_MILLISECONDS);
  }

  function option(value, label) {
    const o = document.createElement('option');
    o.value = String(value);
    o.textContent = label;
    return o;
  }

  // The names in the menus are the shown ones: another widget may have renamed a sensor.
  async function fillBack() {
    const sensorNames = [];
    for (let i = 0; i < sensorCount; i++) {
      sensorNames.push(await controller.shownSensorNameAtIndex(i));
    }
    for (const position of positions) {
      const select = $('sensor' + position.displayIndex);
      select.replaceChildren(option(-1, text('none')),
          ...sensorNames.map((name, i) => option(i, name)));
      select.value =
          String(await controller.preferredSensorIndexAtDisplayIndex(position.displayIndex));
      await fillOwn(position.displayIndex);
    }
    $('notify').checked = notifyChosen();
    $('unit').value = String(await controller.preferredTemperatureUnitIndex());
    $('version').textContent = await controller.localizedVersionMessage();
    const link = $('masterLink');
    const address = await controller.localizedURLForMasterApplication();
    let safe = null;
    try {
      const url = new URL(address);
      if (url.protocol === 'https:' || url.protocol === 'http:') safe = url.href;
    } catch (e) {
      // Not an address; the link stays hidden.
    }
    link.hidden = !safe;
    if (safe) link.href = safe;
  }

  // The own name and limit fields of the sensor chosen in menu `d`; the
  // original name and the hardware's limit show where the person set none.
  async function fillOwnName(d) {
    const i = Number($('sensor' + d).value);
    const name = $('name' + d);
    name.disabled = $('original' + d).disabled = i < 0;
    name.value = await controller.ownSensorNameAtIndex(i);
    name.placeholder = await controller.localizedDifferentiatingSensorNameAtIndex(i);
  }

  async function fillOwnLimit(d) {
    const i = Number($('sensor' + d).value);
    const limit = $('limit' + d);
    limit.disabled = i < 0;
    limit.value = await controller.ownSensorLimitAtIndex(i);
    limit.placeholder = limit.value ? '' : (await controller.sensorLimitAtIndex(i)).trim();
  }

  async function fillOwn(d) {
    await fillOwnName(d);
    await fillOwnLimit(d);
  }

  let messageTimer = 0;
  function showMessage(message) {
    const box = $('message');
    box.textContent = message;
    box.hidden = !message;
    window.clearTimeout(messageTimer);
    if (message) messageTimer = window.setTimeout(() => showMessage(''), 6000);
  }

  // Stores what was typed for the sensor of menu `d`; a refusal is shown and
  // the field goes back to what is stored.
  async function storeOwn(d, call, value) {
    const i = Number($('sensor' + d).value);
    if (i < 0) return;
    const refusal = await controller[call](i, value);
    showMessage(refusal);
    const isName = call === 'setOwnSensorNameAtIndex';
    if (!refusal && isName) {
      const shown = await controller.shownSensorNameAtIndex(i);
      for (const p of positions) $('sensor' + p.displayIndex).options[i + 1].textContent = shown;
    }
    // Both menus may show this sensor; the other kind of field is left as typed.
    for (const p of positions) {
      if (Number($('sensor' + p.displayIndex).value) !== i) continue;
      await (isName ? fillOwnName : fillOwnLimit)(p.displayIndex);
    }
  }

  function notifyChosen() {
    try {
      return localStorage.getItem(NOTIFY_STORAGE_KEY) === '1';
    } catch (e) {
      return false;
    }
  }

  function chooseNotify(on) {
    try {
      localStorage.setItem(NOTIFY_STORAGE_KEY, on ? '1' : '0');
    } catch (e) {
      // Without storage the choice lasts as long as the checkbox.
    }
    if (on && 'Notification' in window && Notification.permission === 'default') {
      Notification.requestPermission().catch(() => undefined);
    }
  }

  async function showBack() {
    await fillBack();
    $('card').classList.add('flipped');
    $('front').setAttribute('aria-hidden', 'true');
    $('back').setAttribute('aria-hidden', 'false');
    $('sensor0').focus();
  }

  async function showFront() {
    setState('updating');
    $('card').classList.remove('flipped');
    $('front').setAttribute('aria-hidden', 'false');
    $('back').setAttribute('aria-hidden', 'true');
    await refreshLabels();
    await refresh();
    $('showBack').focus();
  }

  async function start() {
    bridge.setUpAgain = setUp;
    try {
      await loadTexts();
      await setUp((name, args) => controller[name](...args));
      sensorCount = await controller.numberOfAvailableSensors();
      for (const position of positions) position.element.hidden = sensorCount === 0;
      await refreshLabels();
    } catch (e) {
      showStatus(text('The sensor host does not answer'));
      setState('offline');
      window.setTimeout(start, REFRESH_MILLISECONDS);
      return;
    }
    $('showBack').addEventListener('click', () => showBack().catch(() => undefined));
    $('showFront').addEventListener('click', () => showFront().catch(() => undefined));
    for (const position of positions) {
      const d = position.displayIndex;
      $('sensor' + d).addEventListener('change', (event) => {
        choose('setPreferredSensorIndexForDisplayIndex', [Number(event.target.value), d]);
        fillOwn(d).catch(() => undefined);
      });
      const store = (call, value) => storeOwn(d, call, value).catch(() => undefined);
      $('name' + d).addEventListener('change', (e) => store('setOwnSensorNameAtIndex', e.target.value));
      $('original' + d).addEventListener('click', () => store('setOwnSensorNameAtIndex', ''));
      $('limit' + d).addEventListener('change', (e) => store('setOwnSensorLimitAtIndex', e.target.value));
    }
    $('unit').addEventListener('change', (event) => {
      // Limits are typed in the unit shown.
      choose('setTemperatureUnitIndex', [Number(event.target.value)])
          .then(() => Promise.all(positions.map((p) => fillOwnLimit(p.displayIndex))))
          .catch(() => undefined);
    });
    $('notify').addEventListener('change', (event) => chooseNotify(event.target.checked));
    document.addEventListener('visibilitychange', () => {
      if (document.hidden) {
        window.clearTimeout(refreshTimer);
      } else {
        refresh();
      }
    });
    window.addEventListener('resize', () => {
      for (const position of positions) {
        position.canvasSize = null;
        position.drawnHistory = null;
      }
      controller.setMaximumSensorNameWidth(labelWidthInPoints())
          .then(refreshLabels)
          .catch(() => undefined);
    });
    // Give the controller back when the tab goes; a tab that comes back is set up anew.
    window.addEventListener('pagehide', () => bridge.drop());
    await refresh();
  }

  document.addEventListener('DOMContentLoaded', start);
})();
