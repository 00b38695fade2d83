// Drives the widget in Debian's chromium against a real zor-widget-host on
// the demo machine: two readings with units and icons, a hidden page that
// stops polling, the back side with another sensor and Fahrenheit, the
// choices kept over a reload, a second tab with choices of its own, and an
// own name and limit. Saves a screenshot of the front. Then the host on a
// recorded Linux tree: the tree's sensors as zor-sensors lists them, and a
// choice kept after the host restarts. Last a host that cannot store
// choices, which the front says.
//
// Environment: ZOR_WIDGET_HOST (the host program), ZOR_SENSORS (the sensor
// CLI), ZOR_BROWSER_OUTPUT (where the screenshot goes).

import {execFileSync, spawn} from 'node:child_process';
import {mkdtempSync, mkdirSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import {chromium} from 'playwright-core';

const hostProgram = process.env.ZOR_WIDGET_HOST;
const sensorsProgram = process.env.ZOR_SENSORS;
const outputDir = process.env.ZOR_BROWSER_OUTPUT;

const TIMEOUT = 20000;
const REFRESH_MILLISECONDS = 3000;  // the widget's polling period
let [passed, failed] = [0, 0];

function check(what, ok, detail = '') {
  ok ? passed++ : failed++;
  console.log(ok ? `ok   ${what}` : `FAIL ${what}${detail ? ': ' + detail : ''}`);
}

// Starts the host on the machine named (the demo machine unless told) and on
// a free port unless told, and resolves with its address.
function startHost(prefsDir, {machine = ['--machine', 'demo'], port = '0'} = {}) {
  const child = spawn(hostProgram, [...machine, '--port', port, '--prefs', prefsDir]);
  let output = '';
  return new Promise((resolve, reject) => {
    setTimeout(() => reject(new Error('host printed no address: ' + output)), TIMEOUT);
    child.stderr.on('data', (chunk) => (output += chunk));
    child.stdout.on('data', (chunk) => {
      const match = /Open the widget at (http:\/\/127\.0\.0\.1:\d+\/)/.exec(output += chunk);
      if (match) resolve({child, url: match[1]});
    });
    child.on('exit', (code) => reject(new Error(`host ended (${code}): ${output}`)));
  });
}

async function stopHost(host) {
  if (host.child.exitCode !== null || host.child.signalCode !== null) return;
  host.child.kill('SIGTERM');
  await new Promise((resolve) => host.child.once('exit', resolve));
}

const waitFor = (page, condition, arg) => page.waitForFunction(condition, arg, {timeout: TIMEOUT});

// Waits until the front shows every reading, after going to a page or reloading when told.
async function showing(page, how) {
  if (how) await (how === 'reload' ? page.reload() : page.goto(how));
  await waitFor(page, () => document.body.dataset.state === 'ready' &&
      [...document.querySelectorAll('.front .reading')].every((e) => e.textContent.trim() !== ''));
}

// Name, reading and type icon (with whether it loaded) of both positions of the front.
const front = (page) => page.$$eval('.front .position', (positions) => positions.map((p) => {
  const icon = p.querySelector('.icon');
  return {name: p.querySelector('.name').textContent, reading: p.querySelector('.reading')
    .textContent, icon: icon.getAttribute('src'), iconLoaded: icon.complete && icon.naturalWidth > 0};
}));

const choices = (page) => page.evaluate(async () => ({
  first: await PluginController.preferredSensorIndexAtDisplayIndex(0),
  second: await PluginController.preferredSensorIndexAtDisplayIndex(1),
  unit: await PluginController.preferredTemperatureUnitIndex(),
}));

// Hides or shows the page as a tab put in the background would be, for the
// page's script; headless chromium itself always shows its pages.
const setHidden = (page, hidden) => page.evaluate((h) => {
  Object.defineProperty(document, 'hidden', {configurable: true, get: () => h});
  Object.defineProperty(document, 'visibilityState', {get: () => (h ? 'hidden' : 'visible'),
    configurable: true});
  document.dispatchEvent(new Event('visibilitychange'));
}, hidden);

// Turns the widget to its back (with its menus filled) or to its front (showing readings).
async function flip(page, side) {
  await page.click(side === 'back' ? '#showBack' : '#showFront');
  await waitFor(page, (back) => document.getElementById('card').classList.contains('flipped') ===
      back && (!back || document.getElementById('sensor0').options.length > 1), side === 'back');
  if (side === 'front') await showing(page);
}

// The host on a recorded Linux tree (a desktop: coretemp cores and an
// nct6798 Super-I/O chip). The front shows the names and readings that
// zor-sensors prints for the same tree; a sensor and Fahrenheit chosen on the
// back are still shown after the host is stopped and started again with the
// same --prefs folder (on the same port, so the tab keeps its instance).
async function recordedTreeScenario(page, work) {
  const tree = fileURLToPath(new URL('../linux/trees/desktop-nct6798', import.meta.url));
  const machine = ['--machine', 'this', '--root', tree];
  const prefsDir = path.join(work, 'tree-prefs');  // the host makes it
  // zor-sensors without --prefs keeps its preferences to itself.
  const listed = (unit) => JSON.parse(execFileSync(sensorsProgram,
      [...machine, '--json', '--unit', unit], {stdio: ['ignore', 'pipe', 'ignore']}));
  // Entry i of a listing is the sensor at index i.
  const sameAs = (shown, sensor) => shown.name === sensor?.localizedName &&
      shown.reading === sensor?.reading;
  const celsius = listed('C');
  let host = await startHost(prefsDir, {machine});
  try {
    await showing(page, host.url);
    const before = await choices(page);
    const shown = await front(page);
    const chips = [before.first, before.second].map((i) => celsius[i]?.sensorName).sort();
    check('the tree\'s front shows a CPU core and a Super-I/O channel as zor-sensors lists them',
        sameAs(shown[0], celsius[before.first]) && sameAs(shown[1], celsius[before.second]) &&
        chips.join() === 'coretemp,nct6798', JSON.stringify({shown, chips}));
    await flip(page, 'back');
    const chosen = celsius.find((s) => s.quantityType === 6 && s.value > 0).index;
    await page.selectOption('#sensor0', String(chosen));
    await page.selectOption('#unit', '1');
    await flip(page, 'front');

    await stopHost(host);
    host = await startHost(prefsDir, {machine, port: new URL(host.url).port});
    await showing(page, 'reload');
    const [fahrenheit, kept, restarted] = [listed('F'), await choices(page), await front(page)];
    check('the tree\'s choice and Fahrenheit are kept after a restart',
        kept.first === chosen && kept.second === before.second && kept.unit === 1 &&
        sameAs(restarted[0], fahrenheit[chosen]) && sameAs(restarted[1], fahrenheit[before.second]) &&
        /°F$/.test(restarted[1].reading),
        JSON.stringify({kept, restarted}));
  } finally {
    await stopHost(host);
  }
}

// A host whose --prefs folder cannot be made: a choice still takes effect,
// and the front says that it cannot be saved.
async function unsavedChoiceScenario(page, work) {
  writeFileSync(path.join(work, 'not-a-folder'), '');
  const host = await startHost(path.join(work, 'not-a-folder', 'prefs'));
  try {
    await showing(page, host.url);
    await flip(page, 'back');
    await page.selectOption('#unit', '2');
    await flip(page, 'front');
    await waitFor(page, () => !document.getElementById('status').hidden);
    check('an unsaved choice is said so on the front',
        (await page.textContent('#status')) === 'Your choices cannot be saved' &&
        (await choices(page)).unit === 2, await page.textContent('#status'));
  } finally {
    await stopHost(host);
  }
}

// An own name and a limit below the reading for the sensor at the top of
// the second tab, given in the first tab: after a reload the first tab shows
// the warning colour and the second tab the name, on its front and in its
// menus; the original name comes back from the second tab's back.
async function ownNameScenario(page, second, sensor) {
  await flip(page, 'back');
  await page.selectOption('#sensor0', String(sensor));
  await waitFor(page, () => {  // the fields show the sensor chosen (the CPU has a limit)
    const menu = document.getElementById('sensor0');
    return document.getElementById('name0').placeholder ===
        menu.options[menu.selectedIndex].textContent && document.getElementById('limit0').placeholder;
  });
  const original = await page.getAttribute('#name0', 'placeholder');
  await page.fill('#name0', 'Pump room');
  await page.press('#name0', 'Enter');
  const value = parseFloat((await front(page))[0].reading.replace(',', '.'));
  await page.fill('#limit0', String(Math.floor(value) - 5));
  await page.press('#limit0', 'Enter');
  await waitFor(page, () => document.getElementById('limit0').placeholder === '');
  await flip(page, 'front');
  await showing(page, 'reload');
  const warned = await page.$eval('#position0 .reading', (e) => [getComputedStyle(e).color,
    getComputedStyle(document.documentElement).getPropertyValue('--warning').trim()]);
  check('a reading above its own limit shows the warning colour',
      warned[0] === 'rgb(235, 203, 139)' && warned[1] === '#ebcb8b', JSON.stringify(warned));
  await showing(second, 'reload');
  await flip(second, 'back');
  const named = [(await front(second))[0].name,
    await second.$eval('#sensor1', (s, i) => s.options[i + 1].textContent, sensor)];
  check('the own name shows on the front and in the menus of a second tab',
      named.every((n) => n === 'Pump room'), JSON.stringify(named));
  await second.click('#original0');
  await waitFor(second, () => document.getElementById('name0').value === '');
  await flip(second, 'front');
  const restored = (await front(second))[0].name;
  check('the original name comes back', restored === original, `${restored} / ${original}`);
}

async function main() {
  const work = mkdtempSync(path.join(tmpdir(), 'zor-browser-'));
  mkdirSync(outputDir, {recursive: true});
  const host = await startHost(path.join(work, 'prefs'));
  let context = null;
  try {
    context = await chromium.launchPersistentContext(path.join(work, 'chromium'), {
      executablePath: '/usr/bin/chromium', viewport: {width: 340, height: 220},
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    const page = context.pages()[0] || await context.newPage();
    const pageErrors = [];
    page.on('pageerror', (e) => pageErrors.push(String(e)));
    await showing(page, host.url);

    // The front: two readings with units, names and loaded type icons.
    const shown = await front(page);
    check('both positions show a name, a reading with its unit and a type icon',
        shown.every((p) => /^\s*-?\d+(?:[.,]\d+)?\s?\S+$/.test(p.reading) && p.name.trim() &&
            /^Images\/T(Unkn|Temp|Elec|Fan|Light|Load|Info|Freq)\.png$/.test(p.icon) &&
            p.iconLoaded), JSON.stringify(shown));
    // Let the history graph draw a line before the picture is taken.
    await waitFor(page, () => Number(document.getElementById('position0').dataset.points) >= 2 &&
        document.querySelector('#position0 .range .maximum').textContent !== '');
    await page.screenshot({path: path.join(outputDir, 'widget-front.png')});
    const before = await choices(page);
    const sensorCount = await page.evaluate(() => PluginController.numberOfAvailableSensors());

    // A hidden page asks the host nothing; shown again, it reads at once.
    let bridgeRequests = 0;
    const isBridge = (request) => new URL(request.url()).pathname === '/bridge';
    page.on('request', (request) => (bridgeRequests += isBridge(request) ? 1 : 0));
    await setHidden(page, true);
    await page.waitForTimeout(500);  // a refresh under way may still finish
    const hiddenFrom = bridgeRequests;
    await page.waitForTimeout(REFRESH_MILLISECONDS + 1000);
    check('a hidden page stops polling', bridgeRequests === hiddenFrom,
        `${bridgeRequests - hiddenFrom} requests while hidden`);
    await setHidden(page, false);

    // The back: every sensor plus "none" in each menu; pick another sensor and Fahrenheit.
    await flip(page, 'back');
    const back = await page.evaluate(() => [document.getElementById('sensor0').options.length,
      document.getElementById('version').textContent, document.getElementById('masterLink').href]);
    check('the back lists every sensor and "none", the version and the web page',
        sensorCount >= 4 && back[0] === sensorCount + 1 && back[1].trim() !== '' &&
        /^https?:\/\//.test(back[2]), JSON.stringify({sensorCount, back}));
    const chosen = before.first === 2 ? 3 : 2;
    await page.selectOption('#sensor0', String(chosen));
    await page.selectOption('#unit', '1');
    const chosenName = await page.$eval('#sensor0', (s) => s.options[s.selectedIndex].textContent);
    await flip(page, 'front');
    const afterChoice = await front(page);
    const temperatures = afterChoice.filter((p) => p.icon === 'Images/TTemp.png');
    check('the front shows the chosen sensor and temperatures in Fahrenheit',
        afterChoice[0].name !== '' &&
        chosenName.startsWith(afterChoice[0].name.replace(/(\u2026|\.\.\.)$/, '')) &&
        temperatures.length > 0 && temperatures.every((p) => /F$/.test(p.reading)),
        JSON.stringify({chosenName, afterChoice}));

    // A second tab is an instance of its own: the sensors it shows are its
    // own choice; the temperature unit is one setting for all instances. A
    // reload of each tab keeps its choices.
    const second = await context.newPage();
    second.on('pageerror', (e) => pageErrors.push(String(e)));
    await showing(second, host.url);
    await flip(second, 'back');
    const secondPick = before.second === 3 ? 4 : 3;
    await second.selectOption('#sensor1', String(secondPick));
    await flip(second, 'front');
    await showing(page, 'reload');
    await showing(second, 'reload');
    const kept = [await choices(page), await choices(second)];
    check('each tab keeps its own choices over a reload and they share the unit',
        JSON.stringify(kept) === JSON.stringify([{first: chosen, second: before.second, unit: 1},
          {first: before.first, second: secondPick, unit: 1}]), JSON.stringify(kept));

    await ownNameScenario(page, second, before.first);
    await recordedTreeScenario(page, work);
    await unsavedChoiceScenario(page, work);
    check('the pages raised no script errors', pageErrors.length === 0, pageErrors.join('; '));
  } finally {
    if (context) await context.close();
    await stopHost(host);
    rmSync(work, {recursive: true, force: true});
  }
}

try {
  await main();
} catch (e) {
  check('the browser test ran to its end', false, e.stack || String(e));
}
console.log(`browser: ${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
