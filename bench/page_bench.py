#!/usr/bin/python3
"""Figures of the relay's web page; see page.bench.sh. Traffic stays on 127.0.0.0/8."""

import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

relay = sys.argv[1] if len(sys.argv) > 1 else 'build/relay/velmora-relay'
if not os.access(relay, os.X_OK):
    print('velmora-relay not built: skipped')
    sys.exit(0)
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    print('python3-selenium missing: skipped')
    sys.exit(0)

folder = tempfile.mkdtemp(prefix='velmora-page-bench-')
ini = os.path.join(folder, 'Velmora.ini')
with open(ini, 'w') as f:
    f.write('[Config]\nTempoPing=300\n[salle]\nNbMachines=1000\n')
    for i in range(1, 1001):
        f.write('Machine%d=poste%d|127.0.%d.%d|255.255.255.255|40009|00-11-22-33-%02X-%02X'
                '|||commentaire %d\n' % (i, i, i // 250, i % 250 + 1, i // 256, i % 256, i))
users = os.path.join(folder, 'users')
subprocess.run([relay, '--users', users, '--add-user', 'bench'], input='motdepasse\nmotdepasse\n',
               text=True, capture_output=True, check=True)
with socket.socket() as s:
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
log = open(os.path.join(folder, 'relay.log'), 'w')
process = subprocess.Popen([relay, '--config', '/dev/null', '--listen', '127.0.0.1:%d' % port,
                            '--machines', ini, '--users', users, '--status-interval', '2'],
                           stderr=log)
base = 'http://127.0.0.1:%d' % port
for _ in range(50):
    try:
        urllib.request.urlopen(base + '/login', timeout=1)
        break
    except OSError:
        time.sleep(0.1)


def cpu_seconds(pid):
    fields = open('/proc/%d/stat' % pid).read().rsplit(')', 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')


def memory_kb(pid, key):
    for line in open('/proc/%d/status' % pid):
        if line.startswith(key + ':'):
            return int(line.split()[1])
    return 0


status = 0
options = webdriver.ChromeOptions()
options.binary_location = '/usr/bin/chromium'
for a in ('--headless=new', '--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu',
          '--window-size=390,844', '--disable-background-networking',
          '--disable-component-update'):
    options.add_argument(a)
try:
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
except Exception as e:
    print('chromium does not start: skipped (%s)' % str(e).splitlines()[0])
    process.terminate()
    shutil.rmtree(folder, ignore_errors=True)
    sys.exit(0)
try:
    driver.get(base + '/login')
    driver.find_element(By.ID, 'u').send_keys('bench')
    driver.find_element(By.ID, 'p').send_keys('motdepasse')
    driver.find_element(By.CSS_SELECTOR, '#login button').click()
    time.sleep(1)
    paints = []
    for _ in range(10):
        driver.get(base + '/')
        time.sleep(0.3)
        paint = driver.execute_script(
            "const p = performance.getEntriesByName('first-contentful-paint')[0];"
            "return p ? p.startTime : null;")
        if paint is not None:
            paints.append(paint)
    size = len(driver.page_source.encode())
    cookie = 'velmora_session=' + driver.get_cookie('velmora_session')['value']
finally:
    driver.quit()
first_paint = statistics.median(paints) if paints else float('nan')
print('page of 1000 machines (%d KB): first contentful paint, median of %d loads: %.0f ms '
      '(target < 200 ms)' % (size // 1024, len(paints), first_paint))
if not first_paint < 200:
    status = 1

# Ten pages open on the folder: ten event streams read for 20 s.
stop = threading.Event()
events = [0] * 10


def page(n):
    with socket.create_connection(('127.0.0.1', port)) as s:
        s.sendall(('GET /events?folder=salle HTTP/1.1\r\nHost: x\r\nCookie: %s\r\n\r\n'
                   % cookie).encode())
        s.settimeout(1)
        while not stop.is_set():
            try:
                data = s.recv(65536)
            except socket.timeout:
                continue
            if not data:
                return
            events[n] += data.count(b'data: ')


threads = [threading.Thread(target=page, args=(n,)) for n in range(10)]
for t in threads:
    t.start()
time.sleep(3)
before, start = cpu_seconds(process.pid), time.monotonic()
time.sleep(20)
cpu = (cpu_seconds(process.pid) - before) / (time.monotonic() - start) * 100
rss, peak = memory_kb(process.pid, 'VmRSS'), memory_kb(process.pid, 'VmHWM')
stop.set()
for t in threads:
    t.join()
print('10 pages on 1000 machines, status every 2 s: relay CPU %.1f %% of one core '
      '(target < 5 %%), %d status messages received' % (cpu, sum(events)))
print('relay memory: %.1f MB resident, %.1f MB at its peak (target < 30 MB)'
      % (rss / 1024, peak / 1024))
if not cpu < 5 or not peak < 30 * 1024:
    status = 1
process.terminate()
process.wait(10)
log.close()
shutil.rmtree(folder, ignore_errors=True)
sys.exit(status)
