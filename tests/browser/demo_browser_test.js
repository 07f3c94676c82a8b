// The demo in headless Chromium: nginx with the module in front of the OWA
// look-alike (scripts/serve-demo.sh), the product's buttons in the rendered
// page, the week button choosing the week view for the next plain calendar
// request, no script error.
//   node demo_browser_test.js SERVE_DEMO_SH BUILD_DIR [SCREENSHOT.png]
'use strict';
const { spawn } = require('child_process');
const net = require('net');
const puppeteer = require('puppeteer-core');

function fail(message) {
  console.error('FAILED: ' + message);
  process.exitCode = 1;
}

// A loopback port that was free a moment ago.
function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function startDemo(serveDemo, build) {
  const port = await freePort();
  return new Promise((resolve, reject) => {
    const demo = spawn(serveDemo, [build, '--listen', '127.0.0.1:' + port], { stdio: ['ignore', 'pipe', 'inherit'] });
    let output = '';
    // A loaded machine (the suite runs beside it) may take a while; a demo
    // that does not start is stopped, so the test ends with its message.
    const timer = setTimeout(() => {
      demo.kill('SIGTERM');
      reject(new Error('the demo did not start: ' + output));
    }, 60000);
    demo.stdout.on('data', (chunk) => {
      output += chunk;
      const match = /Open (http:\/\/\S+) in a browser/.exec(output);
      if (match) {
        clearTimeout(timer);
        resolve({ demo, url: match[1] });
      }
    });
    demo.on('exit', (code) => reject(new Error('the demo ended with ' + code + ': ' + output)));
  });
}

async function main() {
  const [serveDemo, build, screenshot] = process.argv.slice(2);
  const { demo, url } = await startDemo(serveDemo, build);
  const browser = await puppeteer.launch({
    executablePath: process.env.KX_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
  try {
    const page = await browser.newPage();
    const errors = [];
    page.on('pageerror', (error) => errors.push(String(error)));
    page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
    page.on('response', (response) => { if (response.status() >= 400) errors.push(response.status() + ' ' + response.url()); });
    await page.setViewport({ width: 900, height: 420 });
    await page.goto(url, { waitUntil: 'load' });
    for (const id of ['qvdayview', 'qvwkweekview', 'qvweekview', 'qvmonthview', 'qvcalsearch', 'lnkMngCds', 'lnkMngDgs']) {
      if (!(await page.$('#' + id))) fail('#' + id + ' is not in the rendered page');
    }
    const iconWidth = await page.$eval('#qvweekview img', (image) => image.naturalWidth);
    if (iconWidth !== 16) fail('the week button\'s icon did not load (width ' + iconWidth + ')');
    const view = () => page.$eval('#divView', (element) => element.textContent);
    if ((await view()) !== 'Day view') fail('first view: ' + (await view()));
    if (screenshot) await page.screenshot({ path: screenshot });

    await Promise.all([page.waitForNavigation({ waitUntil: 'load' }), page.click('#qvweekview')]);
    if (!page.url().includes('a=QvView2')) fail('the week button asked for ' + page.url());
    if ((await view()) !== 'Week view') fail('after the week button: ' + (await view()));
    await page.goto(url, { waitUntil: 'load' });
    if ((await view()) !== 'Week view') fail('the next plain calendar request shows ' + (await view()));
    if (errors.length) fail('script errors: ' + errors.join('; '));
  } finally {
    await browser.close();
    demo.kill('SIGTERM');
  }
  if (!process.exitCode) console.log('browser demo: passed');
}

main().catch((error) => fail(error.stack || String(error)));
