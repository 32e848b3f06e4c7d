// The machine list: tabs, filter, wake buttons and the status stream. No framework; every text
// from the server goes through textContent, never through HTML.
'use strict';
(function () {
  const body = document.body;
  const csrf = body.dataset.csrf;
  if (!csrf) {
    const user = document.getElementById('u');
    if (user) user.focus();
    return;
  }
  const tabs = Array.from(document.querySelectorAll('[role=tab]'));
  const filter = document.getElementById('filter');
  let source = null;
  const labels = { '1': body.dataset.up, '0': body.dataset.down, '-1': body.dataset.unknown };

  function toLogin() { window.location.assign('/login?expired=1'); }

  function panel(tab) { return document.getElementById(tab.getAttribute('aria-controls')); }

  function current() {
    return tabs.find(function (t) { return t.getAttribute('aria-selected') === 'true'; });
  }

  function setDot(row, value) {
    const dot = row.querySelector('.dot');
    dot.className = 'dot ' + (value === 1 ? 'up' : value === 0 ? 'down' : 'unknown');
    dot.setAttribute('aria-label', labels[String(value)]);
    dot.title = labels[String(value)];
  }

  function setState(id, text, bad) {
    const row = document.getElementById(id);
    if (!row) return;
    const state = row.querySelector('.state');
    state.textContent = text;
    state.classList.toggle('bad', !!bad);
  }

  function listen() {
    if (source) source.close();
    source = null;
    const tab = current();
    if (!tab) return;
    const folder = panel(tab).dataset.folder;
    source = new EventSource('/events?folder=' + encodeURIComponent(folder));
    source.onmessage = function (e) {
      let data;
      try { data = JSON.parse(e.data); } catch (x) { return; }
      Object.keys(data.s || {}).forEach(function (id) {
        const row = document.getElementById(id);
        if (row) setDot(row, data.s[id]);
      });
      Object.keys(data.w || {}).forEach(function (id) { setState(id, data.w[id], false); });
    };
    source.addEventListener('login', toLogin);
    source.addEventListener('reload', function () { window.location.reload(); });
    source.onerror = function () {
      if (source && source.readyState === EventSource.CLOSED) {
        // Closed for good: the session may be over (401), or the relay away for now.
        fetch('/events?folder=', { credentials: 'same-origin' }).then(function (r) {
          if (r.status === 401) toLogin();
          else window.setTimeout(listen, 5000);
        }).catch(function () { window.setTimeout(listen, 5000); });
      }
    };
  }

  function select(tab, focus) {
    tabs.forEach(function (t) {
      const on = t === tab;
      t.setAttribute('aria-selected', on ? 'true' : 'false');
      t.tabIndex = on ? 0 : -1;
      panel(t).hidden = !on;
    });
    if (focus) tab.focus();
    applyFilter();
    listen();
  }

  tabs.forEach(function (tab, i) {
    tab.addEventListener('click', function () { select(tab, false); });
    tab.addEventListener('keydown', function (e) {
      let next = -1;
      if (e.key === 'ArrowRight') next = (i + 1) % tabs.length;
      else if (e.key === 'ArrowLeft') next = (i - 1 + tabs.length) % tabs.length;
      else if (e.key === 'Home') next = 0;
      else if (e.key === 'End') next = tabs.length - 1;
      if (next >= 0) { e.preventDefault(); select(tabs[next], true); }
    });
  });

  function applyFilter() {
    const words = (filter ? filter.value : '').toLowerCase().trim();
    document.querySelectorAll('.machine').forEach(function (row) {
      const text = row.querySelector('.info').textContent.toLowerCase();
      row.hidden = words !== '' && text.indexOf(words) < 0;
    });
  }
  if (filter) filter.addEventListener('input', applyFilter);

  function wake(folder, row, button) {
    const form = new URLSearchParams();
    form.set('folder', folder);
    if (row) {
      form.set('machine', row.dataset.index);
      form.set('name', row.dataset.name);
    }
    button.disabled = true;
    fetch('/wake', {
      method: 'POST',
      credentials: 'same-origin',
      headers: { 'X-CSRF-Token': csrf, 'Content-Type': 'application/x-www-form-urlencoded' },
      body: form.toString()
    }).then(function (r) {
      if (r.status === 401) { toLogin(); return null; }
      return r.json();
    }).then(function (data) {
      if (!data) return;
      if (data.error && row) setState(row.id, data.error, true);
      Object.keys(data.rows || {}).forEach(function (id) {
        setState(id, data.rows[id].text, !data.rows[id].ok);
      });
    }).catch(function () {
      if (row) setState(row.id, '\u26a0', true);
    }).finally(function () { button.disabled = false; });
  }

  document.querySelectorAll('.folder').forEach(function (section) {
    const folder = section.dataset.folder;
    section.querySelector('.wakeall').addEventListener('click', function (e) {
      wake(folder, null, e.currentTarget);
    });
    section.querySelectorAll('.machine').forEach(function (row) {
      row.querySelector('.wake').addEventListener('click', function (e) {
        wake(folder, row, e.currentTarget);
      });
    });
  });

  if (tabs.length) listen();
})();
