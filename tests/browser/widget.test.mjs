// Drives the widget in Debian's chromium against a real zor-widget-host on
// the demo machine: two readings with units and icons, the back side with
// another sensor and Fahrenheit, the choices kept over a reload, and a second
// tab with choices of its own, and a hidden page that stops polling. Saves a
// screenshot of the front. Then the host on a recorded Linux tree: the tree's
// sensors as zor-sensors lists them, and a choice kept after the host restarts.
// Last a host that cannot store choices, which the front says.
//
// Environment: ZOR_WIDGET_HOST (the host program), ZOR_SENSORS (the sensor
// CLI), ZOR_BROWSER_OUTPUT (where the screenshot goes).

import {execFileSync, spawn} from 'node:child_process';
import {mkdtempSync, mkdirSync, readdirSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import {chromium} from 'playwright-core';

const hostProgram = process.env.ZOR_WIDGET_HOST;
const sensorsProgram = process.env.ZOR_SENSORS;
const outputDir = process.env.ZOR_BROWSER_OUTPUT;
if (!hostProgram || !sensorsProgram || !outputDir) {
  console.error('ZOR_WIDGET_HOST, ZOR_SENSORS and ZOR_BROWSER_OUTPUT must be set');
  process.exit(2);
}

const TIMEOUT = 20000;
const REFRESH_MILLISECONDS = 3000;  // the widget's polling period
let passed = 0;
let failed = 0;

function check(what, ok, detail = '') {
  if (ok) {
    passed++;
    console.log(`ok   ${what}`);
  } else {
    failed++;
    console.log(`FAIL ${what}${detail ? ': ' + detail : ''}`);
  }
}

// Starts the host on the machine named (the demo machine unless told) and on
// a free port unless told, and resolves with its address and output.
function startHost(prefsDir, {machine = ['--machine', 'demo'], port = '0'} = {}) {
  return new Promise((resolve, reject) => {
    const child = spawn(hostProgram, [...machine, '--port', port, '--prefs', prefsDir],
        {stdio: ['ignore', 'pipe', 'pipe']});
    let output = '';
    const timer = setTimeout(() => reject(new Error('host printed no address: ' + output)),
        TIMEOUT);
    const onData = (chunk) => {
      output += chunk;
      const match = /Open the widget at (http:\/\/127\.0\.0\.1:\d+\/)/.exec(output);
      if (match) {
        clearTimeout(timer);
        resolve({child, url: match[1], output: () => output});
      }
    };
    child.stdout.on('data', onData);
    child.stderr.on('data', (chunk) => (output += chunk));
    child.on('exit', (code) => reject(new Error(`host ended (${code}): ${output}`)));
  });
}

async function stopHost(host) {
  if (host.child.exitCode !== null || host.child.signalCode !== null) return;
  const ended = new Promise((resolve) => host.child.once('exit', resolve));
  host.child.kill('SIGTERM');
  await ended;
}

const readingPattern = /^\s*-?\d+(?:[.,]\d+)?\s?\S+$/;

async function waitUntilShowing(page) {
  await page.waitForFunction(() => {
    const readings = [...document.querySelectorAll('.front .reading')];
    return document.body.dataset.state === 'ready' &&
        readings.every((e) => e.textContent.trim() !== '');
  }, null, {timeout: TIMEOUT});
}

async function front(page) {
  return page.evaluate(() => [0, 1].map((d) => {
    const position = document.getElementById('position' + d);
    const icon = position.querySelector('.icon');
    return {
      name: position.querySelector('.name').textContent,
      reading: position.querySelector('.reading').textContent,
      icon: icon.getAttribute('src'),
      iconLoaded: icon.complete && icon.naturalWidth > 0,
    };
  }));
}

const choices = (page) => page.evaluate(async () => ({
  first: await PluginController.preferredSensorIndexAtDisplayIndex(0),
  second: await PluginController.preferredSensorIndexAtDisplayIndex(1),
  unit: await PluginController.preferredTemperatureUnitIndex(),
}));

// Hides or shows the page as a tab put in the background would be, for the
// page's script; headless chromium itself always shows its pages.
async function setHidden(page, hidden) {
  await page.evaluate((h) => {
    Object.defineProperty(document, 'hidden', {configurable: true, get: () => h});
    Object.defineProperty(document, 'visibilityState',
        {configurable: true, get: () => (h ? 'hidden' : 'visible')});
    document.dispatchEvent(new Event('visibilitychange'));
  }, hidden);
}

async function flipToBack(page) {
  await page.click('#showBack');
  await page.waitForFunction(() => document.getElementById('card').classList.contains('flipped') &&
      document.getElementById('sensor0').options.length > 1, null, {timeout: TIMEOUT});
}

async function flipToFront(page) {
  await page.click('#showFront');
  await page.waitForFunction(() => !document.getElementById('card').classList.contains('flipped'),
      null, {timeout: TIMEOUT});
  await waitUntilShowing(page);
}

// The host on a recorded Linux tree (a desktop: coretemp cores and an
// nct6798 Super-I/O chip). The front shows the names and readings that
// zor-sensors prints for the same tree; a sensor and Fahrenheit chosen on the
// back are still shown after the host is stopped and started again with the
// same --prefs folder (on the same port, so the tab keeps its instance).
async function recordedTreeScenario(context, work) {
  const tree = fileURLToPath(new URL('../linux/trees/desktop-nct6798', import.meta.url));
  const machine = ['--machine', 'this', '--root', tree];
  const cliPrefs = path.join(work, 'cli-prefs');
  const prefsDir = path.join(work, 'tree-prefs');
  mkdirSync(cliPrefs);
  mkdirSync(prefsDir);
  const listed = (unit) => JSON.parse(execFileSync(sensorsProgram,
      [...machine, '--prefs', cliPrefs, '--json', '--unit', unit],
      {stdio: ['ignore', 'pipe', 'ignore']}));
  const at = (list, index) => list.find((s) => s.index === index);
  const sameAs = (shown, sensor) => sensor !== undefined && shown.name === sensor.localizedName &&
      shown.reading === sensor.reading;
  const celsius = listed('C');
  let host = await startHost(prefsDir, {machine});
  const page = await context.newPage();
  const pageErrors = [];
  page.on('pageerror', (e) => pageErrors.push(String(e)));
  try {
    await page.goto(host.url);
    await waitUntilShowing(page);
    const before = await choices(page);
    const shown = await front(page);
    check('the tree\'s front shows what zor-sensors lists for those sensors',
        shown.every((p, d) => sameAs(p, at(celsius, [before.first, before.second][d]))),
        JSON.stringify(shown.map((p) => [p.name, p.reading])));
    const chips = new Set([before.first, before.second].map((i) => at(celsius, i)?.sensorName));
    check('the tree\'s front shows a CPU core and a Super-I/O channel',
        chips.has('coretemp') && chips.has('nct6798'), [...chips].join(', '));

    await flipToBack(page);
    const options = await page.$$eval('#sensor0 option', (o) => o.map((e) => e.textContent));
    check('the tree\'s menu lists every sensor zor-sensors lists',
        options.length === celsius.length + 1 &&
        celsius.every((s) => options[s.index + 1] === s.localizedName), JSON.stringify(options));
    const chosen = celsius.find((s) => s.quantityType === 6 && s.value > 0);
    await page.selectOption('#sensor0', String(chosen.index));
    await page.selectOption('#unit', '1');
    await flipToFront(page);

    await stopHost(host);
    host = await startHost(prefsDir, {machine, port: new URL(host.url).port});
    await page.reload();
    await waitUntilShowing(page);
    const fahrenheit = listed('F');
    const kept = await choices(page);
    const restarted = await front(page);
    check('the tree\'s choice and Fahrenheit are kept after a restart',
        kept.first === chosen.index && kept.second === before.second && kept.unit === 1 &&
        sameAs(restarted[0], at(fahrenheit, chosen.index)) &&
        sameAs(restarted[1], at(fahrenheit, before.second)) && /°F$/.test(restarted[1].reading),
        JSON.stringify({kept, restarted: restarted.map((p) => [p.name, p.reading])}));
    check('the tree\'s page raised no script errors', pageErrors.length === 0,
        pageErrors.join('; '));
  } finally {
    await page.close();
    await stopHost(host);
  }
}

// A host whose --prefs folder cannot be made: a choice still takes effect,
// and the front says once that it cannot be saved.
async function unsavedChoiceScenario(context, work) {
  writeFileSync(path.join(work, 'not-a-folder'), '');
  const host = await startHost(path.join(work, 'not-a-folder', 'prefs'));
  const page = await context.newPage();
  try {
    await page.goto(host.url);
    await waitUntilShowing(page);
    await flipToBack(page);
    await page.selectOption('#unit', '2');
    await flipToFront(page);
    await page.waitForFunction(() => !document.getElementById('status').hidden, null,
        {timeout: TIMEOUT});
    check('an unsaved choice is said so on the front',
        (await page.textContent('#status')) === 'Your choices cannot be saved' &&
        (await choices(page)).unit === 2, await page.textContent('#status'));
  } finally {
    await page.close();
    await stopHost(host);
  }
}

// An own name and a limit below the reading for the sensor at the top of
// the second tab, given in the first tab: after a reload the first tab shows
// the warning colour and the second tab the name, on its front and in its
// menus; the original name comes back from the second tab's back.
async function ownNameScenario(page, second, sensor) {
  await flipToBack(page);
  await page.selectOption('#sensor0', String(sensor));
  await page.waitForFunction(() => {  // the fields show the sensor chosen (the CPU has a limit)
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
  await page.waitForFunction(() => document.getElementById('limit0').placeholder === '');
  await flipToFront(page);
  await page.reload();
  await waitUntilShowing(page);
  const warned = await page.$eval('#position0 .reading', (e) => [getComputedStyle(e).color,
    getComputedStyle(document.documentElement).getPropertyValue('--warning').trim()]);
  check('a reading above its own limit shows the warning colour',
      warned[0] === 'rgb(235, 203, 139)' && warned[1] === '#ebcb8b', JSON.stringify(warned));
  await second.reload();
  await waitUntilShowing(second);
  await flipToBack(second);
  const named = [(await front(second))[0].name,
    await second.$eval('#sensor1', (s, i) => s.options[i + 1].textContent, sensor)];
  check('the own name shows on the front and in the menus of a second tab',
      named.every((n) => n === 'Pump room'), JSON.stringify(named));
  await second.click('#original0');
  await second.waitForFunction(() => document.getElementById('name0').value === '');
  await flipToFront(second);
  const restored = (await front(second))[0].name;
  check('the original name comes back', restored === original, `${restored} / ${original}`);
}

async function main() {
  const work = mkdtempSync(path.join(tmpdir(), 'zor-browser-'));
  const prefsDir = path.join(work, 'prefs');
  const profileDir = path.join(work, 'chromium');
  mkdirSync(prefsDir);
  mkdirSync(outputDir, {recursive: true});
  const host = await startHost(prefsDir);
  let context = null;
  try {
    check('the host says the demo machine is simulated', /SIMULATED/.test(host.output()),
        host.output());
    context = await chromium.launchPersistentContext(profileDir, {
      executablePath: '/usr/bin/chromium',
      headless: true,
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
      viewport: {width: 340, height: 220},
    });
    const page = context.pages()[0] || await context.newPage();
    const pageErrors = [];
    page.on('pageerror', (e) => pageErrors.push(String(e)));
    await page.goto(host.url);
    await waitUntilShowing(page);

    // The front: two readings with units, names and loaded type icons.
    const shown = await front(page);
    for (const [d, p] of shown.entries()) {
      check(`position ${d + 1} shows a reading with its unit`, readingPattern.test(p.reading),
          JSON.stringify(p.reading));
      check(`position ${d + 1} shows a name`, p.name.trim() !== '');
      check(`position ${d + 1} shows a type icon`,
          /^Images\/T(Unkn|Temp|Elec|Fan|Light|Load|Info|Freq)\.png$/.test(p.icon) && p.iconLoaded,
          p.icon);
    }
    // Let the history graph draw a line before the picture is taken.
    await page.waitForFunction(() => Number(document.getElementById('position0').dataset.points) >= 2 &&
        document.querySelector('#position0 .range .maximum').textContent !== '', null,
    {timeout: TIMEOUT});
    await page.screenshot({path: path.join(outputDir, 'widget-front.png')});

    const before = await choices(page);
    const sensorCount = await page.evaluate(() => PluginController.numberOfAvailableSensors());
    check('the demo machine offers sensors to choose from', sensorCount >= 4, String(sensorCount));

    // A hidden page asks the host nothing; shown again, it reads at once.
    let bridgeRequests = 0;
    page.on('request', (request) => {
      if (new URL(request.url()).pathname === '/bridge') bridgeRequests++;
    });
    await setHidden(page, true);
    await page.waitForTimeout(500);  // a refresh under way may still finish
    const hiddenFrom = bridgeRequests;
    await page.waitForTimeout(REFRESH_MILLISECONDS + 1000);
    check('a hidden page stops polling', bridgeRequests === hiddenFrom,
        `${bridgeRequests - hiddenFrom} requests while hidden`);
    const shownAgain = page.waitForRequest((r) => new URL(r.url()).pathname === '/bridge',
        {timeout: REFRESH_MILLISECONDS / 2}).then(() => true, () => false);
    await setHidden(page, false);
    check('a page shown again reads at once', await shownAgain);

    // The back: every sensor plus "none" in each menu; pick another sensor and Fahrenheit.
    await flipToBack(page);
    const optionCount = await page.$eval('#sensor0', (s) => s.options.length);
    check('each menu lists every sensor and "none"', optionCount === sensorCount + 1,
        `${optionCount} options for ${sensorCount} sensors`);
    const version = await page.textContent('#version');
    check('the back shows the version', version.trim() !== '', version);
    const link = await page.getAttribute('#masterLink', 'href');
    check('the back links to the application\'s web page', /^https?:\/\//.test(link || ''), link);
    const chosen = before.first === 2 ? 3 : 2;
    await page.selectOption('#sensor0', String(chosen));
    await page.selectOption('#unit', '1');
    const chosenName = await page.$eval('#sensor0', (s) => s.options[s.selectedIndex].textContent);
    await flipToFront(page);
    const afterChoice = await front(page);
    check('the front shows the chosen sensor', afterChoice[0].name !== '' &&
        (chosenName.startsWith(afterChoice[0].name.replace(/(\u2026|\.\.\.)$/, ''))),
        `${afterChoice[0].name} / ${chosenName}`);
    const temperatures = afterChoice.filter((p) => p.icon === 'Images/TTemp.png');
    check('temperatures are shown in Fahrenheit', temperatures.length > 0 &&
        temperatures.every((p) => /F$/.test(p.reading)), JSON.stringify(afterChoice));

    // A reload keeps both choices.
    await page.reload();
    await waitUntilShowing(page);
    const reloaded = await choices(page);
    check('the chosen sensor is kept over a reload', reloaded.first === chosen,
        JSON.stringify(reloaded));
    check('Fahrenheit is kept over a reload', reloaded.unit === 1, JSON.stringify(reloaded));
    const reloadedFront = await front(page);
    check('the reloaded front shows the chosen sensor',
        reloadedFront[0].name === afterChoice[0].name, reloadedFront[0].name);
    await flipToBack(page);
    check('the reloaded back shows the choices',
        await page.$eval('#sensor0', (s) => s.value) === String(chosen) &&
        await page.$eval('#unit', (s) => s.value) === '1');
    await flipToFront(page);

    // A second tab is an instance of its own: the sensors it shows are its
    // own choice; the temperature unit is one setting for all instances.
    const second = await context.newPage();
    second.on('pageerror', (e) => pageErrors.push(String(e)));
    await second.goto(host.url);
    await waitUntilShowing(second);
    const ids = await Promise.all([page, second].map((p) =>
      p.evaluate(() => sessionStorage.getItem('zorsensors.widgetInstance'))));
    check('the tabs have identifiers of their own', ids[0] && ids[1] && ids[0] !== ids[1],
        JSON.stringify(ids));
    const secondChoices = await choices(second);
    check('the second tab starts with its own sensors',
        secondChoices.first !== chosen && secondChoices.first === before.first,
        JSON.stringify(secondChoices));
    check('the second tab shares the temperature unit', secondChoices.unit === 1);
    await flipToBack(second);
    const secondPick = before.second === 3 ? 4 : 3;
    await second.selectOption('#sensor1', String(secondPick));
    await flipToFront(second);
    await page.reload();
    await waitUntilShowing(page);
    const firstAgain = await choices(page);
    check('the first tab keeps its choices when the second tab changes its own',
        firstAgain.first === chosen && firstAgain.second === before.second,
        JSON.stringify(firstAgain));
    await second.reload();
    await waitUntilShowing(second);
    check('the second tab keeps its own choice over a reload',
        (await choices(second)).second === secondPick);

    await ownNameScenario(page, second, before.first);
    check('the page raised no script errors', pageErrors.length === 0, pageErrors.join('; '));
    check('the choices were stored in the --prefs folder', readdirSync(prefsDir).length > 0);

    await recordedTreeScenario(context, work);
    await unsavedChoiceScenario(context, work);
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
