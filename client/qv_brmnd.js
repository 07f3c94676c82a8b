// The reminders bell of the basic client: its click opens the reminders
// page through the worker's reminder command.
(function (global) {
  'use strict';
  global.f_onClickRemindersLink = function () {
    var base = typeof global.g_QVKX_sUserBase === 'string' && global.g_QVKX_sUserBase ? global.g_QVKX_sUserBase : '/owa/';
    var url = base + '?cmd=qvgetrmndpg';
    var opened = typeof global.open === 'function' ?
        global.open(url, 'qvkx_reminders', 'width=520,height=420,resizable=yes,scrollbars=yes') : null;
    if (!opened && global.location) global.location.href = url;
    return false;
  };
})(this);
