#!/usr/bin/env python3
"""Writes the OWA-like fixture pages of the parser and DOM tests.

The pages are made up for this project: they imitate the structure of the
Outlook Web Access pages the worker changes (template comment, style-sheet
links, toolbars, calendar grid, inline scripts) and the markup quirks such
pages carry (unclosed p/td/li/option, '<' and '>' inside script strings,
'>' inside attribute values, comments, a conditional comment). Run it again
to regenerate; the output is deterministic.
"""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = "14.3.123.4"
DAYS = ["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"]
SUBJECTS = ["Team sync", "Budget review", "Lunch with Ana", "Dentist", "Release planning", "1:1 with Tomas",
            "Vendor call", "Quarterly review", "Training: Excel > basics", "Board meeting", "Code review",
            "Customer visit", "Interviews", "Offsite prep", "Holiday party"]


def head(template, title, css_name, extra="", links=""):
    return f"""<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" "http://www.w3.org/TR/html4/loose.dtd">
<!-- OwaPage = {template} -->
<!-- Copyright (c) Example Org. Generated page for tests. -->
<html dir="ltr">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=UTF-8">
<meta name="Robots" content="NOINDEX, NOFOLLOW">
<title>{title}</title>
<link type="text/css" rel="stylesheet" href="/owa/{BUILD}/themes/base/{'basic_owafont.css' if 'basic' in css_name else 'owafont.css'}">
<link type="text/css" rel="stylesheet" href="/owa/{BUILD}/themes/seattle/{css_name}">
<!--[if IE]><link type="text/css" rel="stylesheet" href="/owa/{BUILD}/themes/base/ie.css"><![endif]-->
{links}<script type="text/javascript">
var a_sLng = "en-US", a_fRtl = 0, a_sBld = "{BUILD}";
function cmp(a, b) {{ if (a < b) return -1; if (a > b) return 1; return 0; }}
var sTpl = "<div class=\\"tt\\"><b>" + "</b></div>";   // markup inside a string
// a comment line with <tags> and a > sign
{extra}</script>
</head>
"""


def top_bar():
    """The basic client's top bar: mailbox name, then links between separators."""
    out = ['<table class="ob" cellpadding="0" cellspacing="0"><tr>\n<td nowrap class="mbx">Ana Lima</td>\n']
    for name, href in [("Mail", "?ae=Folder&amp;t=IPF.Note"), ("Calendar", "?ae=Folder&amp;t=IPF.Appointment"),
                       ("Options", "?ae=Options"), ("Log Off", "logoff.owa")]:
        out.append(f'<td class="dv"><img src="/owa/{BUILD}/themes/base/dv.gif" alt=""></td>'
                   f'<td nowrap><a class="btn" href="{href}">{name}</a></td>\n')
    out.append('</tr></table>\n')
    return "".join(out)


def basic_calendar_view(rnd, weeks):
    out = [head("ASP.forms_basic_basiccalendarview_aspx", "Calendar - Outlook Web Access Light", "basic.css",
                "var g_iMaxAppts = 50; var g_sWarn = 'Too many > 50 items <b>';\n")]
    out.append('<body class="bdy" onload="if (window.opener && 1 > 0) {};">\n')
    out.append(top_bar())
    out.append('<form name="frm" method="POST" action="?ae=Folder&amp;t=IPF.Appointment">\n')
    out.append('<input type="hidden" name="hidcanary" value="a3f9c2e1b7d84f0e9c6b5a4d3e2f1a0b">\n')
    out.append('<table class="tbhd" cellpadding="0" cellspacing="0"><tr>\n')
    out.append('<td class="tdhd"><img src="/owa/%s/themes/base/lgntopl.gif" alt=""></td>\n' % BUILD)
    out.append('<td class="tdhd" nowrap><a href="?ae=Folder&amp;t=IPF.Appointment&amp;slUsng=0" title="Day > view">Day</a>\n')
    out.append('<td class="dv"><img src="/owa/%s/themes/base/dv.gif" alt=""></td>\n' % BUILD)
    out.append('<td nowrap><a id="lnkHdrtoday" href="?ae=Folder&amp;t=IPF.Appointment&amp;d=1" title="Today">Today</a></td>\n')
    out.append('<td class="dv"></td><td nowrap><a id="lnkHdrnewappt" href="?ae=Item&amp;a=New&amp;t=IPM.Appointment">New</a></td>\n')
    out.append('</tr></table>\n')
    out.append('<table class="snt" cellpadding="0" cellspacing="0">\n')
    for name, cls in [("Inbox", "fld"), ("Calendar", "fld sl"), ("Contacts", "fld"), ("Tasks", "fld")]:
        out.append(f'<tr><td nowrap class="{cls}"><a href="?ae=Folder&amp;t=IPF.{name}">{name} </a>\n')
    out.append('</table>\n')
    out.append('<!-- month grid -->\n<table class="mnth" id="tblMonth" cellspacing="0">\n<tr>')
    for day in DAYS:
        out.append(f'<th class="dh">{day}\n')
    day_no = 1
    for week in range(weeks):
        out.append(f'<tr class="wk" id="wk{week}">\n')
        for d in range(7):
            out.append(f'<td class="dc" id="d{week}_{d}"><a class="dn" href="?ae=Folder&amp;t=IPF.Appointment&amp;dy={day_no}">{day_no % 31 + 1}</a>\n')
            for a in range(rnd.randint(0, 4)):
                subj = rnd.choice(SUBJECTS)
                hour = rnd.randint(7, 18)
                out.append(f'<div class="ap" id="ap{week}_{d}_{a}" title="{hour}:00 - {subj} (Room > 2)">'
                           f'<a href="?ae=Item&amp;t=IPM.Appointment&amp;id=RgAAAAB{week:03d}{d}{a}zQ%3d%3d">'
                           f'<span class="tm">{hour}:00</span> {subj}</a></div>\n')
            if rnd.random() < 0.2:
                out.append('<p>Note: <i>room change</i><p>See <b>details</b>\n')
            day_no += 1
    out.append('</table>\n')
    out.append('<ul class="rem" id="ulRem">\n')
    for n in range(12):
        out.append(f'<li>Reminder {n}: {rnd.choice(SUBJECTS)}\n')
    out.append('</ul>\n<select name="selView" id="selView">\n')
    for v in ["Day", "Work Week", "Week", "Month"]:
        out.append(f'<option value="{v.lower()}">{v}\n')
    out.append('</select>\n')
    out.append('<script type="text/javascript">\nfor (var i = 0; i < 10; i++) { if (i > 5) document.write("<span>" + i + "</span>"); }\n</script>\n')
    out.append('<table class="mf"><tr><td><a id="lnkMngFldr" href="?ae=Folder&amp;t=IPF.Appointment&amp;a=ManageFolders">Manage Folders</a></td></tr></table>\n')
    out.append('</form>\n</body>\n</html>\n')
    return "".join(out)


def premium_calendar_view(rnd):
    out = [head("ASP.forms_premium_calendarview_aspx", "Calendar - Outlook Web App", "premium.css",
                "var g_fPrm = 1; var g_sSep = '<->';\n",
                f'<script type="text/javascript" src="/owa/{BUILD}/scripts/premium/uglobal.js"></script>\n'
                f'<script type="text/javascript" src="/owa/{BUILD}/scripts/premium/cdayvw.js"></script>\n')]
    out.append('<body class="owaBdy" scroll="no">\n<div id="divMainView" class="mnView">\n')
    out.append('<div id="divCalendarViewToolbar" class="tbCal"><div id="divTBL" class="tbl">\n')
    for name in ["day", "workweek", "week", "month", "share"]:
        out.append(f'<div class="tbf fltBefore" id="divToolbarButton{name}"><a class="tba" href="#" _tbb="1">'
                   f'<img class="tbLh" src="/owa/{BUILD}/themes/resources/clear1x1.gif"/>{name.title()}</a></div>\n')
    out.append('<div class="tbf fltAfter" id="divToolbarButtonprint"><a class="tba" href="#">Print</a></div>\n')
    out.append('</div></div>\n')
    out.append('<div id="divToolbarTop" class="tbTop"><a id="btnNew" class="tbBtn" href="#" onclick="return nw(\'new\');">New</a>'
               '<span class="tbSep"></span><a id="btnToday" class="tbBtn" href="#">Today</a></div>\n')
    out.append('<div id="divFolderTree"><div id="divCalFldrs" class="fldrs">\n')
    for n, name in enumerate(["Calendar", "Birthdays", "Team calendar"]):
        out.append(f'<div class="fldr" id="fldr{n}"><img src="/owa/{BUILD}/themes/base/cal.gif" alt=""><span>{name}</span></div>\n')
    out.append('</div><div id="divShareLinks"><a id="lnkShr" href="#">Share Calendar</a>\n'
               '<div _lnk=1 class="cmLnk" id="divChangeSharingPermission" cmd="chgperm"><span class="cmIco">'
               f'<img src="/owa/{BUILD}/themes/base/perm.gif" alt=""></span><span id=spnT>Change Sharing Permissions'
               '</span></div>\n<div _lnk=1 class="cmLnk" id="divPublish" cmd="pub"><span id=spnT>Publish</span>'
               '</div></div></div>\n')
    out.append('<div id="divCalView" class="calV">\n')
    for h in range(24):
        out.append(f'<div class="hr" id="hr{h}"><span class="hrL">{h:02d}:00</span>\n')
        for a in range(rnd.randint(0, 2)):
            out.append(f'<div class="apt" style="top:{a * 20}px" title="{rnd.choice(SUBJECTS)}">{rnd.choice(SUBJECTS)}</div>\n')
        out.append('</div>\n')
    out.append('</div>\n</div>\n<iframe id="ifHid" src="about:blank" style="display:none"></iframe>\n</body>\n</html>\n')
    return "".join(out)


def basic_options(rnd):
    out = [head("ASP.forms_basic_basicoptions_aspx", "Options - Outlook Web Access Light", "basic.css", "",
                f'<script type="text/javascript" src="/owa/{BUILD}/scripts/basic/opt.js"></script>\n')]
    out.append('<body class="bdy">\n' + top_bar() + '<form name="frm" method="POST" action="?ae=Options&amp;t=Calendar">\n')
    out.append('<table class="opt" cellspacing="0"><tr><td class="optnv">\n<table class="nv">\n')
    for name in ["Messaging", "Reply/Forward", "Spelling", "Calendar Options", "Contact Options", "Change Password"]:
        out.append(f'<tr><td class="nvi"><a href="?ae=Options&amp;t={name.replace(" ", "").replace("/", "")}">{name}</a>\n')
    out.append('</table>\n<td class="optcnt">\n<table class="sct" id="tblCalOpt">\n')
    for heading, icon in [("Calendar Options", "cal"), ("Reminder Options", "rmd")]:
        out.append(f'<tr>\n<td class="hdr"><img width="32" height="32" src="/owa/{BUILD}/themes/base/{icon}opt.gif" alt="">'
                   f'\n<h1 class="bld">{heading}</h1>\n</td>\n</tr>\n<tr><td class="bd"><table class="fmt">\n')
        if icon == "cal":
            out.append('<tr><td><label for="selWkStrt">First day of week</label>\n<select id="selWkStrt" name="selWkStrt">\n')
            for day in DAYS:
                out.append(f'<option value="{day[:3]}">{day}\n')
            out.append('</select></td></tr>\n')
        else:
            out.append('<tr><td><input type="checkbox" id="chkRem" name="chkRem" checked> Show reminders</td></tr>\n')
        out.append('</table></td></tr>\n')
    out.append('</table>\n</table>\n</form>\n</body>\n</html>\n')
    return "".join(out)


def ecp_calendar_options(rnd):
    """The Exchange control panel's calendar options (the premium options)."""
    links = "".join(f'<link type="text/css" rel="stylesheet" href="/ecp/{BUILD}/themes/default/{name}">\n'
                    for name in ["culture_default.css", "main.css"])
    out = ['<!DOCTYPE html>\n<!-- OwaPage = ASP.ecp_premium_calendaroptions_aspx -->\n<html>\n<head>\n'
           f'<title>Calendar - Options</title>\n{links}'
           f'<script type="text/javascript" src="/ecp/{BUILD}/scripts/common.js"></script>\n</head>\n']
    out.append('<body class="ecpBdy">\n<div id="divOptions" class="optPane">\n')
    for section, fields in [("CalendarAppearanceOptions", ["Show week numbers", "Work days"]),
                            ("CalendarWorkflowOptions", ["Automatically accept meeting requests", "Process invitations"]),
                            ("CalendarReminderOptions", ["Show reminders", "Reminder sound"])]:
        out.append(f'<div class="slbFrm " id="{section}_Frm"><div class="capPane">{section}</div>\n<div class="cttPane">\n')
        for field in fields:
            out.append(f'<div class="Propertydiv"><input type="checkbox" checked="{rnd.choice(["true", "false"])}">'
                       f'<label>{field}</label></div>\n')
        out.append('</div></div>\n')
    out.append('</div>\n</body>\n</html>\n')
    return "".join(out)


def basic_item_editor(rnd):
    out = [head("ASP.forms_basic_basiceditcalendaritem_aspx", "Untitled Appointment", "basic.css",
                "var a_iRmdr = 15; function vld() { return document.frm.txtSubj.value.length > 0; }\n"
                "var a_sMsgId = \"RgAAAAB0000\"; var a_sChk = \"c0ffee\";\n",
                f'<script type="text/javascript" src="/owa/{BUILD}/scripts/basic/captedt.js"></script>\n')]
    out.append('<body class="bdy">\n' + top_bar() +
               '<form name="frm" method="POST" action="?ae=Item&amp;t=IPM.Appointment" onsubmit="return vld();">\n')
    out.append('<table class="edt" cellspacing="0">\n<tr><td class="lbl">Subject:<td><input type="text" name="txtSubj" id="txtSubj" value="Plan &quot;Q3&quot; > review">\n')
    out.append('<tr><td class="lbl">Location:<td><input type="text" name="txtLoc" id="txtLoc" value="">\n')
    out.append('<tr><td class="lbl">Start time:<td><select name="selSH" id="selSH">\n')
    for h in range(24):
        out.append(f'<option value="{h}">{h:02d}:00\n')
    out.append('</select>\n<tr><td class="lbl">Reminder:<td id="tdRmdr"><input type="checkbox" name="chkRmdr" id="chkRmdr">\n')
    out.append('<tr><td colspan="2"><table cellspacing="0" cellpadding="0"><tr>\n'
               '<td class="lbl">Show time as:</td>\n<td class="fbgspc">&nbsp;</td>\n'
               '<td id="fbcell"><select name="selFb" id="selFb"><option value="0">Free</option>'
               '<option value="2" selected>Busy</option><option value="3">Out of Office</option></select></td>\n'
               '<td class="fbgspc">&nbsp;</td>\n<td><input type="checkbox" name="chkPrv" id="chkPrv"> Private</td>\n'
               '<td class="w100"></td>\n</tr></table>\n')
    out.append('<tr><td colspan="2"><textarea name="txtBdy" id="txtBdy" rows="10">Agenda: 1 < 2 > 0 & more</textarea>\n')
    out.append('</table>\n</form>\n</body>\n</html>\n')
    return "".join(out)


def basic_delegate_calendar_view(rnd):
    """The product's own basic calendar page for a delegate: the view buttons are already there."""
    out = [head("ASP.forms_basic_qv_dgbasiccalendarview_aspx", "Calendar of Tomas Berg - Outlook Web Access Light",
                "basic.css", "var a_sFldId = 'LgAAAAB1dGVzdA%3d%3d';\n")]
    out.append('<body class="bdy">\n' + top_bar())
    out.append('<form name="frm" method="POST" action="?ae=Folder&amp;t=IPF.Appointment&amp;qvdgmx=tomas.berg">\n')
    out.append('<table class="tbhd" cellpadding="0" cellspacing="0"><tr>\n')
    out.append(f'<td class="tdhd"><img src="/owa/{BUILD}/themes/base/lgntopl.gif" alt=""></td>\n')
    out.append('<td class="dv"></td>')
    for n, (vid, name) in enumerate([("qvdayview", "Day"), ("qvwkweekview", "Work Week"), ("qvweekview", "Week"),
                                     ("qvmonthview", "Month")]):
        out.append(f'<td nowrap><a id="{vid}" class="btn" href="#" onclick="return qvkx_OnClkChngView({n + 1});" '
                   f'title="{name}"><img src="QVScripts/Kalyxa/2.0/qv_kx-cal-{vid[2:-4]}.gif" alt=""> {name}</a></td>\n')
    out.append('<td class="w100"></td>\n</tr></table>\n<table class="dgv" cellspacing="0">\n')
    for h in range(8, 18):
        subj = rnd.choice(SUBJECTS) if rnd.random() < 0.5 else ""
        out.append(f'<tr><td class="hr">{h:02d}:00<td class="ap">{subj}\n')
    out.append('</table>\n</form>\n</body>\n</html>\n')
    return "".join(out)


def error_page(rnd):
    return ('<!-- OwaPage = ASP.auth_error_aspx -->\n<html>\n<head><title>Error</title></head>\n'
            '<body class="err"><div class="errTtl">Request failed</div>\n'
            '<p>The request could not be completed <b>(0x80004005)</b>.<p>Try again later.\n'
            '<!-- stack: <unavailable> -->\n</body>\n</html>\n')


def main():
    rnd = random.Random(20261206)
    pages = {
        "basic-calendar-view.html": basic_calendar_view(rnd, weeks=44),
        "premium-calendar-view.html": premium_calendar_view(rnd),
        "basic-options.html": basic_options(rnd),
        "basic-calendar-item-editor.html": basic_item_editor(rnd),
        "error-page.html": error_page(rnd),
    }
    pages["ecp-calendar-options.html"] = ecp_calendar_options(random.Random(13))
    pages["basic-delegate-calendar-view.html"] = basic_delegate_calendar_view(random.Random(11))
    # One week of the same view, small enough to keep whole as expected output.
    pages["basic-calendar-week.html"] = basic_calendar_view(random.Random(7), weeks=1)
    for name, text in pages.items():
        with open(os.path.join(HERE, name), "w", newline="\n") as f:
            f.write(text)
        print(f"{name}: {len(text)} bytes")


if __name__ == "__main__":
    main()
