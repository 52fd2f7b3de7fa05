// Drives headless Chromium through corvane-printer-app's web interface in
// one browser session: opens the system page, adds a printer with the Add
// Printer form, opens the printer's pages and presses Print Test Page.
// Usage: node web-ui.js BASE-URL PRINTER-NAME DEVICE-URI USER-DATA-DIR
// Prints one "ok - " or "FAIL - " line per check; exits 1 if any failed.
'use strict';
const { chromium } = require('playwright-core');

const [baseUrl, printerName, deviceUri, userDataDir] = process.argv.slice(2);
if (!userDataDir) {
  console.error('usage: node web-ui.js BASE-URL PRINTER-NAME DEVICE-URI USER-DATA-DIR');
  process.exit(2);
}

let failures = 0;
function check(what, ok, detail) {
  console.log(`${ok ? 'ok' : 'FAIL'} - ${what}${!ok && detail ? `: ${detail}` : ''}`);
  if (!ok) failures++;
  return ok;
}

// open PATH: the page loads with HTTP 200; returns its text.
async function open(page, path) {
  const response = await page.goto(baseUrl + path);
  const status = response ? response.status() : 0;
  check(`${path} opens`, status === 200, `HTTP ${status}`);
  return page.locator('body').innerText();
}

async function addPrinter(page) {
  await open(page, '/addprinter');
  const form = page.locator('form', { has: page.locator('[name="printer_name"]') });
  if (!check('the Add Printer form is there', (await form.count()) === 1)) return false;
  check('the form carries its session', (await form.locator('input[name="session"]').count()) === 1);
  await form.locator('[name="printer_name"]').fill(printerName);
  await form.locator('select[name="driver_name"]').selectOption(process.env.APP_DRIVER || 'corvane');
  const device = form.locator('[name="device_uri"]');
  if ((await device.evaluate((element) => element.tagName)) === 'SELECT')
    await device.selectOption(deviceUri);
  else
    await device.fill(deviceUri);
  await Promise.all([page.waitForNavigation(), form.locator('[type="submit"]').click()]);
  const text = await page.locator('body').innerText();
  return check('the form adds the printer and shows its page',
               new URL(page.url()).pathname === `/${printerName}` && text.includes(printerName),
               `at ${page.url()}: ${text.slice(0, 300)}`);
}

async function printTestPage(page) {
  const button = page.locator('input[type="submit"][value="Print Test Page"]');
  if (!check('the printer page has a Print Test Page button', (await button.count()) === 1)) return;
  await Promise.all([page.waitForNavigation(), button.click()]);
  const text = await page.locator('body').innerText();
  check('the app says the test page is printed', text.includes('Test page printed.'), text.slice(0, 300));
}

async function main() {
  const context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = context.pages()[0] || await context.newPage();
    page.setDefaultTimeout(15000);
    page.on('pageerror', (error) => check('no script error on the page', false, error.message));
    const home = await open(page, '/');
    check('the system page names no printer yet', !home.includes(printerName));
    if (await addPrinter(page)) {
      for (const sub of ['printing', 'media'])
        await open(page, `/${printerName}/${sub}`);
      check('the system page lists the new printer', (await open(page, '/')).includes(printerName));
      await open(page, `/${printerName}`);
      await printTestPage(page);
    }
  } finally {
    await context.close();
  }
}

main().then(
  () => process.exit(failures ? 1 : 0),
  (error) => { console.log(`FAIL - the browser session: ${error.message}`); process.exit(1); });
