#!/usr/bin/python3
"""The relay's web page in a real browser (Debian's chromium, driven by selenium).

Logs in with a wrong then the right password, sees only the allowed folders, shows a hostile
machine name as text, wakes a machine for a UDP receiver on loopback (exactly the 102 bytes),
sees the host of a network namespace turn green once its address is added, is refused a POST
without the form token, is sent back to the log-in page when its session is gone (the relay
restarted), and speaks English to an English browser. Takes screenshots at 390x844 and
1280x800 in both languages.

Usage: test_page_browser.py RELAY SCREENSHOT_FOLDER
Exit code 77 (skipped) where the browser cannot run, except under CI=true, where it fails.
Traffic goes only to 127.0.0.0/8 and to the namespace the test makes and removes.
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

SKIP = 77
RELAY = sys.argv[1] if len(sys.argv) > 1 else ''
SHOTS = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp()
MAC = bytes.fromhex('001122334455')
PID = os.getpid()
NETNS = 'velmora-page-%d' % PID
VETH = ('vpa%d' % PID)[:15], ('vpb%d' % PID)[:15]
SUBNET = '10.213.%d' % (PID % 250 + 1)


def cannot_run(reason):
    if os.environ.get('CI') == 'true':
        print('browser test cannot run under CI: ' + reason, file=sys.stderr)
        sys.exit(1)
    print('skipped: ' + reason)
    sys.exit(SKIP)


try:
    from selenium import webdriver
    from selenium.common.exceptions import NoAlertPresentException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError as e:
    cannot_run('python3-selenium is missing (%s)' % e)

for tool in ('/usr/bin/chromium', '/usr/bin/chromedriver'):
    if not os.access(tool, os.X_OK):
        cannot_run(tool + ' is missing')
if not os.access(RELAY, os.X_OK):
    cannot_run('no relay program at "%s"' % RELAY)


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def run(*command, stdin=None):
    return subprocess.run(command, input=stdin, capture_output=True, text=True, check=False)


def browser(language, width, height):
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for argument in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage',
                     '--disable-gpu', '--window-size=%d,%d' % (width, height),
                     '--lang=' + language.split(',')[0], '--no-first-run',
                     '--disable-background-networking', '--disable-component-update',
                     '--disable-default-apps', '--disable-sync'):
        options.add_argument(argument)
    options.add_experimental_option('prefs', {'intl.accept_languages': language})
    try:
        driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    except Exception as e:  # no display, no sandbox support, broken install
        cannot_run('chromium does not start: %s' % str(e).splitlines()[0])
    driver.set_window_size(width, height)  # the start-up size has a floor of 500 px
    # Headless chromium does not always take the language preference for its requests: the
    # header is set through the developer protocol, as a browser set to that language sends it.
    agent = driver.execute_script('return navigator.userAgent')
    driver.execute_cdp_cmd('Emulation.setUserAgentOverride',
                           {'userAgent': agent, 'acceptLanguage': language})
    return driver


class PageInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='velmora-page-')
        os.makedirs(SHOTS, exist_ok=True)
        cls.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        cls.udp.bind(('127.0.0.1', 0))
        cls.udp.settimeout(15)  # a loaded machine may be slow to deliver
        cls.namespace = os.geteuid() == 0 and cls.make_namespace()
        ini = os.path.join(cls.folder, 'Velmora.ini')
        with open(ini, 'w', encoding='utf-8') as f:
            f.write('[Config]\nListeDossiers=Bureau|Atelier|Secret\n'
                    '[Bureau]\nNbMachines=3\n'
                    'Machine1=pc-udp|127.0.0.1|255.255.255.255|%d|00-11-22-33-44-55|||'
                    'le poste de Léa\n'
                    'Machine2=<img src=x onerror=alert(1)>|127.0.0.2||||||"><b>gras</b>\n'
                    'Machine3=hote-ns|%s.2|255.255.255.255|9|00-11-22-33-44-66|||'
                    'dans son espace\n'
                    '[Atelier]\nNbMachines=1\nMachine1=tour|127.0.0.3|||00-AA-BB-CC-DD-EE|||\n'
                    '[Secret]\nNbMachines=1\nMachine1=coffre|127.0.0.4|||00-00-00-00-00-01|||\n'
                    % (cls.udp.getsockname()[1], SUBNET))
        cls.users = os.path.join(cls.folder, 'users')
        added = run(RELAY, '--users', cls.users, '--add-user', 'alice', '--folders',
                    'Bureau,Atelier', stdin='motdepasse-alice\nmotdepasse-alice\n')
        assert added.returncode == 0, added.stderr
        cls.port = free_port()
        cls.arguments = [RELAY, '--config', '/dev/null', '--listen', '127.0.0.1:%d' % cls.port,
                         '--machines', ini, '--users', cls.users, '--status-interval', '1']
        cls.relay = None
        cls.start_relay()

    @classmethod
    def make_namespace(cls):
        steps = [('ip', 'netns', 'add', NETNS),
                 ('ip', 'link', 'add', VETH[0], 'type', 'veth', 'peer', 'name', VETH[1]),
                 ('ip', 'link', 'set', VETH[1], 'netns', NETNS),
                 ('ip', 'addr', 'add', SUBNET + '.1/24', 'dev', VETH[0]),
                 ('ip', 'link', 'set', VETH[0], 'up'),
                 ('ip', 'netns', 'exec', NETNS, 'ip', 'link', 'set', VETH[1], 'up')]
        for step in steps:
            if run(*step).returncode != 0:
                cls.remove_namespace()
                return False
        return True

    @classmethod
    def remove_namespace(cls):
        run('ip', 'link', 'del', VETH[0])
        run('ip', 'netns', 'del', NETNS)

    @classmethod
    def start_relay(cls):
        cls.log = open(os.path.join(cls.folder, 'relay.log'), 'a')
        cls.relay = subprocess.Popen(cls.arguments, stderr=cls.log)
        for _ in range(150):  # up to about 15 s on a loaded machine
            try:
                urllib.request.urlopen('http://127.0.0.1:%d/login' % cls.port, timeout=1)
                return
            except OSError:
                time.sleep(0.1)
        raise AssertionError('the relay does not answer')

    @classmethod
    def stop_relay(cls):
        cls.relay.terminate()
        assert cls.relay.wait(10) == 0
        cls.log.close()

    @classmethod
    def tearDownClass(cls):
        if cls.relay and cls.relay.poll() is None:
            cls.stop_relay()
        if cls.namespace:
            cls.remove_namespace()
        cls.udp.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def url(self, path):
        return 'http://127.0.0.1:%d%s' % (self.port, path)

    def log_in(self, driver, password):
        driver.get(self.url('/'))
        driver.find_element(By.ID, 'u').send_keys('alice')
        driver.find_element(By.ID, 'p').send_keys(password)
        driver.find_element(By.CSS_SELECTOR, '#login button').click()

    def row(self, driver, name):
        for row in driver.find_elements(By.CSS_SELECTOR, '.machine'):
            if row.get_attribute('data-name') == name:
                return row
        raise AssertionError('no row ' + name)

    def shots(self, driver, language):
        for width, height in ((390, 844), (1280, 800)):
            driver.set_window_size(width, height)
            time.sleep(0.3)
            driver.save_screenshot(os.path.join(SHOTS, 'page-%s-%dx%d.png' %
                                                (language, width, height)))

    def test_1_french_page(self):
        driver = browser('fr-FR,fr', 390, 844)
        try:
            wait = WebDriverWait(driver, 15)
            self.log_in(driver, 'pas-le-bon')
            self.assertIn('Utilisateur ou mot de passe incorrect.',
                          driver.find_element(By.ID, 'message').text)
            driver.save_screenshot(os.path.join(SHOTS, 'login-fr-390x844.png'))
            self.log_in(driver, 'motdepasse-alice')
            wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, '[role=tab]'))
            tabs = [t.text for t in driver.find_elements(By.CSS_SELECTOR, '[role=tab]')]
            self.assertEqual(tabs, ['Bureau', 'Atelier'])
            self.assertNotIn('coffre', driver.page_source)
            # A hostile name is shown as text, and runs nothing.
            self.assertEqual(self.row(driver, '<img src=x onerror=alert(1)>')
                             .find_element(By.CSS_SELECTOR, '.name').text,
                             '<img src=x onerror=alert(1)>')
            with self.assertRaises(NoAlertPresentException):
                driver.switch_to.alert.text
            # Wake: the receiver gets exactly the magic packet, the row says so.
            self.row(driver, 'pc-udp').find_element(By.CSS_SELECTOR, '.wake').click()
            packet, _ = self.udp.recvfrom(2048)
            self.assertEqual(packet, b'\xff' * 6 + MAC * 16)
            wait.until(lambda d: self.row(d, 'pc-udp').find_element(
                By.CSS_SELECTOR, '.state').text in ('réveil envoyé', 'prête après 1 s',
                                                   'prête après 2 s'))
            wait.until(lambda d: 'up' in self.row(d, 'pc-udp').find_element(
                By.CSS_SELECTOR, '.dot').get_attribute('class'))
            # The namespace's host: grey or red, then green once its address exists.
            if self.namespace:
                wait.until(lambda d: 'down' in self.row(d, 'hote-ns').find_element(
                    By.CSS_SELECTOR, '.dot').get_attribute('class'))
                self.assertEqual(run('ip', 'netns', 'exec', NETNS, 'ip', 'addr', 'add',
                                     SUBNET + '.2/24', 'dev', VETH[1]).returncode, 0)
                wait.until(lambda d: 'up' in self.row(d, 'hote-ns').find_element(
                    By.CSS_SELECTOR, '.dot').get_attribute('class'))
            # The filter.
            driver.find_element(By.ID, 'filter').send_keys('léa')
            self.assertEqual([r.get_attribute('data-name') for r in
                              driver.find_elements(By.CSS_SELECTOR, '#f-0 .machine')
                              if r.is_displayed()], ['pc-udp'])
            driver.find_element(By.ID, 'filter').clear()
            driver.execute_script("document.getElementById('filter').dispatchEvent("
                                  "new Event('input'))")
            # 360 px wide: nothing sticks out sideways.
            driver.set_window_size(360, 740)
            self.assertLessEqual(driver.execute_script(
                'return document.documentElement.scrollWidth'), driver.execute_script(
                'return document.documentElement.clientWidth'))
            # A POST without the token is refused.
            status = driver.execute_async_script(
                "const done = arguments[arguments.length - 1];"
                "fetch('/wake', {method: 'POST', body: 'folder=Bureau',"
                " headers: {'Content-Type': 'application/x-www-form-urlencoded'}})"
                ".then(r => done(r.status));")
            self.assertEqual(status, 403)
            self.shots(driver, 'fr')
            # The relay restarts: the session is gone, the page goes back to the log-in.
            type(self).stop_relay()
            type(self).start_relay()
            wait.until(lambda d: '/login' in d.current_url)
            self.assertIn('Votre session a pris fin',
                          driver.find_element(By.ID, 'message').text)
        finally:
            driver.quit()

    def test_2_english_page(self):
        driver = browser('en-US,en', 1280, 800)
        try:
            wait = WebDriverWait(driver, 15)
            driver.get(self.url('/'))
            self.assertEqual(driver.find_element(By.CSS_SELECTOR, '#login button').text,
                             'Sign in')
            self.log_in(driver, 'motdepasse-alice')
            wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, '.wake'))
            self.assertEqual(driver.find_element(By.CSS_SELECTOR, '.wake').text, 'Wake')
            self.assertEqual(driver.find_element(By.CSS_SELECTOR, '.wakeall').text,
                             'Wake the whole folder')
            wait.until(lambda d: 'up' in self.row(d, 'pc-udp').find_element(
                By.CSS_SELECTOR, '.dot').get_attribute('class'))
            self.assertEqual(self.row(driver, 'pc-udp').find_element(
                By.CSS_SELECTOR, '.dot').get_attribute('aria-label'), 'answers')
            # The second tab, by the keyboard.
            driver.find_element(By.ID, 't-0').send_keys('\ue014')  # arrow right
            wait.until(lambda d: d.find_element(By.ID, 'f-1').is_displayed())
            driver.find_element(By.ID, 't-0').click()
            self.shots(driver, 'en')
        finally:
            driver.quit()


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0], '-v'])
