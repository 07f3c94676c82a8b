// The product's client script, linked by every page the worker changes: the
// commands its buttons and links open. Each goes to OWA's path with the
// worker's command parameter, which the worker routes to its handler page.
(function (global) {
  'use strict';

  function text(name, fallback) {
    var value = global[name];
    return typeof value === 'string' && value !== '' ? value : fallback;
  }

  // The URL of a command, with further query text when given.
  function commandUrl(command, extra) {
    var url = text('g_qvkx_owapath', '/owa/') + '?' + encodeURIComponent(text('g_qvkx_CmdPName', 'qvkxcmd')) + '=' +
        encodeURIComponent(command);
    return extra ? url + '&' + extra : url;
  }

  // Opens a command in a window of its own, or in this one when windows are blocked.
  function openCommand(command, extra) {
    var url = commandUrl(command, extra);
    var opened = typeof global.open === 'function' ?
        global.open(url, 'qvkx_' + command, 'width=760,height=560,resizable=yes,scrollbars=yes') : null;
    if (!opened && global.location) global.location.href = url;
    return false;
  }

  global.qvkx_CommandUrl = commandUrl;
  global.qvkx_OpnMngCds = function () { return openCommand(text('g_qvkx_CmdMngCds', 'mngcds')); };
  global.qvkx_OpnMngDgs = function () { return openCommand(text('g_qvkx_CmdMngDgs', 'mngdgs')); };
  global.qvkx_OpnAddHlds = function () { return openCommand(text('g_qvkx_CmdAddHld', 'addhld')); };
  // source: 0 a basic page, 1 the premium one; delegate: searching a delegate's calendar.
  global.qvkx_LaunchCalendarSearch = function (source, delegate) {
    return openCommand(text('g_qvkx_CmdCalSearch', 'calsearch'), 'src=' + (source ? 1 : 0) + (delegate ? '&dg=1' : ''));
  };
  // An item found by the search, opened in this window.
  global.qvkx_onClkM = function (itemId) {
    if (global.location) {
      global.location.href = text('g_qvkx_owapath', '/owa/') + '?ae=Item&t=IPM.Appointment&id=' + encodeURIComponent(itemId);
    }
    return false;
  };

  // The premium page's entries carry no handler of their own.
  function wire() {
    var doc = global.document;
    var search = doc.getElementById('qvcalsearch');
    if (search && !search.getAttribute('onclick')) {
      search.onclick = function () { return global.qvkx_LaunchCalendarSearch(1, 0); };
    }
    var delegates = doc.getElementById('qvDivMngDgs');
    if (delegates && !delegates.getAttribute('onclick')) delegates.onclick = global.qvkx_OpnMngDgs;
  }
  if (global.document) {
    if (global.document.readyState === 'loading') global.document.addEventListener('DOMContentLoaded', wire);
    else wire();
  }
})(this);
