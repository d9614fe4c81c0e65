#!/usr/bin/env python3
"""Draws every picture of the resource bundle from SVG written here, with one palette.

    python3 resources/artwork/draw.py            # writes resources/<Folder>/<File>.png and Loading.gif
    python3 resources/artwork/draw.py --svg DIR  # also keeps the SVG of every picture in DIR

Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert (for the animated strip). The PNGs are
committed, so building the program never runs this script; run it after changing a picture here and
commit the results together with this file.
"""
import argparse
import math
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

RESOURCES = Path(__file__).resolve().parent.parent

# Palette. The title band is BAND; the body is PALE; BLUE is the accent used for active and checked states.
BAND = "#32A9FD"
LOGIN_BAND = "#0DA8FF"
BLUE = "#1E89E7"
BLUE_LIGHT = "#5BBDFF"
BLUE_DEEP = "#1565C0"
PALE = "#F3FBFF"
EDGE = "#A9C9E6"        # resting border of inputs and buttons
EDGE_SOFT = "#DCE8F3"   # separators
YELLOW = "#FDDF86"
GREEN = "#2FB36B"
GREEN_DARK = "#23945A"
RED = "#E5484D"
RED_DARK = "#C23237"
AMBER = "#F5A524"
INK = "#4A6178"         # glyphs on pale ground
GRAY = "#C3CCD6"
GRAY_DARK = "#9AA6B2"
GRAY_PALE = "#F1F3F5"
WHITE = "#FFFFFF"

pictures = {}   # "Folder/File.png" -> (width, height, svg text)


def picture(path, w, h, body, view=None):
    """Registers one picture; body is SVG content in a view box of view (default: the pixel size)."""
    vw, vh = view or (w, h)
    pictures[path] = (w, h, f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
                            f'viewBox="0 0 {vw} {vh}">{body}</svg>')


def gradient(gid, top, bottom, x2=0, y2=1):
    return (f'<linearGradient id="{gid}" x1="0" y1="0" x2="{x2}" y2="{y2}">'
            f'<stop offset="0" stop-color="{top}"/><stop offset="1" stop-color="{bottom}"/></linearGradient>')


# ---------------------------------------------------------------- product mark

def mark(stroke, strip, holes, width=30):
    """The Rackmind mark in a 410 box: a power symbol over a rack strip with four outlets."""
    arc_r, cx, cy = 86, 205, 168
    gap = math.radians(38)
    x0, y0 = cx - arc_r * math.sin(gap), cy - arc_r * math.cos(gap)
    x1 = cx + arc_r * math.sin(gap)
    outlets = "".join(
        f'<rect x="{x - 13}" y="296" width="26" height="34" rx="7" fill="{holes}"/>' for x in (130, 180, 230, 280))
    return (f'<path d="M {x0:.1f} {y0:.1f} A {arc_r} {arc_r} 0 1 0 {x1:.1f} {y0:.1f}" fill="none" '
            f'stroke="{stroke}" stroke-width="{width}" stroke-linecap="round"/>'
            f'<line x1="{cx}" y1="62" x2="{cx}" y2="160" stroke="{stroke}" stroke-width="{width}" '
            f'stroke-linecap="round"/>'
            f'<rect x="82" y="280" width="246" height="66" rx="20" fill="{strip}"/>{outlets}')


def application_icon(name, top, bottom, holes):
    body = (f'<defs>{gradient("g", top, bottom)}'
            f'<linearGradient id="shine" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="#fff" stop-opacity="0.28"/>'
            f'<stop offset="1" stop-color="#fff" stop-opacity="0"/></linearGradient>'
            f'<filter id="s" x="-10%" y="-10%" width="120%" height="130%">'
            f'<feGaussianBlur in="SourceAlpha" stdDeviation="7"/><feOffset dy="6"/>'
            f'<feComponentTransfer><feFuncA type="linear" slope="0.35"/></feComponentTransfer>'
            f'<feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge></filter></defs>'
            f'<rect x="22" y="16" width="366" height="366" rx="84" fill="url(#g)" filter="url(#s)"/>'
            f'<path d="M 22 120 Q 22 16 126 16 L 284 16 Q 388 16 388 120 L 388 160 Q 205 230 22 160 Z" '
            f'fill="url(#shine)"/>'
            f'<g transform="translate(0 4)">{mark(WHITE, WHITE, holes)}</g>')
    picture(f"Application/{name}", 410, 410, body)


application_icon("ApplicationPng.png", "#4DB8FF", "#1572D6", BLUE)
application_icon("ApplicationIcon_Grayscale.png", "#B9C1CA", "#737D89", "#86909B")

# The logo on the login dialog's blue header: the mark alone, in white, the outlets showing the band.
picture("Dialog/LoginLogo.png", 64, 64, f'<g transform="translate(-22 -26) scale(1.0)">'
        f'{mark(WHITE, WHITE, LOGIN_BAND, width=34)}</g>', view=(366, 366))


# ---------------------------------------------------------------- dialog pictures

# Shadow of the frameless dialogs: drawn over the whole dialog with 8-pixel borders, so only the
# 6-pixel margin outside the painted band and body may carry ink.
picture("Dialog/ShadowBorder.png", 43, 40,
        '<defs><filter id="b" x="-50%" y="-50%" width="200%" height="200%">'
        '<feGaussianBlur stdDeviation="2.2"/></filter>'
        '<mask id="m"><rect width="43" height="40" fill="#fff"/>'
        '<rect x="6" y="6" width="31" height="28" rx="4" fill="#000"/></mask></defs>'
        '<g mask="url(#m)"><rect x="5" y="6" width="33" height="29" rx="5" fill="#0B2A4A" '
        'fill-opacity="0.55" filter="url(#b)"/>'
        '<rect x="5.5" y="5.5" width="32" height="29" rx="4.5" fill="none" stroke="#1E5F99" '
        'stroke-opacity="0.35"/></g>')

# Head portrait beside the account fields: an operator in a blue disc.
picture("Dialog/Login.png", 156, 156,
        f'<defs>{gradient("g", "#EAF6FF", "#CBE6FC")}{gradient("p", BLUE_LIGHT, BLUE)}'
        f'<clipPath id="c"><circle cx="78" cy="78" r="72"/></clipPath></defs>'
        f'<circle cx="78" cy="78" r="75" fill="{WHITE}"/>'
        f'<circle cx="78" cy="78" r="72" fill="url(#g)"/>'
        f'<g clip-path="url(#c)"><circle cx="78" cy="62" r="27" fill="url(#p)"/>'
        f'<path d="M 24 156 C 24 112 48 98 78 98 C 108 98 132 112 132 156 Z" fill="url(#p)"/></g>'
        f'<circle cx="78" cy="78" r="73.5" fill="none" stroke="{EDGE}" stroke-width="3"/>')

check_path = "M 13 25 L 21 33 L 36 16"
cross_path = "M 16 16 L 32 32 M 32 16 L 16 32"


def round_badge(path, top, bottom, glyph):
    picture(path, 48, 48,
            f'<defs>{gradient("g", top, bottom)}</defs>'
            f'<circle cx="24" cy="24" r="21" fill="url(#g)"/>'
            f'<circle cx="24" cy="24" r="20.5" fill="none" stroke="#000" stroke-opacity="0.12"/>'
            f'<path d="{glyph}" fill="none" stroke="{WHITE}" stroke-width="5" stroke-linecap="round" '
            f'stroke-linejoin="round"/>')


round_badge("Dialog/OK.png", "#48C987", GREEN_DARK, check_path)
round_badge("Dialog/Cancel.png", "#F06A6E", RED_DARK, cross_path)


# ---------------------------------------------------------------- main tab icons (white on the band)

W_FILL = 'fill="#fff" fill-opacity="0.22"'
W_LINE = 'stroke="#fff" stroke-width="26" stroke-linecap="round" stroke-linejoin="round"'


def tab_icon(name, body):
    picture(f"MainTab/{name}", 512, 512,
            '<defs><filter id="s" x="-10%" y="-10%" width="120%" height="120%">'
            '<feGaussianBlur in="SourceAlpha" stdDeviation="6"/><feOffset dy="6"/>'
            '<feComponentTransfer><feFuncA type="linear" slope="0.25"/></feComponentTransfer>'
            '<feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge></filter></defs>'
            f'<g filter="url(#s)">{body}</g>')


def rack_unit(y, leds):
    dots = "".join(f'<circle cx="{176 + 40 * i}" cy="{y + 38}" r="13" fill="{c}"/>' for i, c in enumerate(leds))
    return (f'<rect x="120" y="{y}" width="272" height="76" rx="12" {W_FILL} {W_LINE}/>'
            f'{dots}<line x1="290" y1="{y + 38}" x2="348" y2="{y + 38}" {W_LINE}/>')


tab_icon("DeviceOverview.png",
         f'<rect x="72" y="40" width="368" height="432" rx="30" fill="none" {W_LINE}/>'
         + rack_unit(92, [YELLOW, WHITE]) + rack_unit(218, [YELLOW, YELLOW]) + rack_unit(344, [WHITE, YELLOW]))


def gear(cx, cy, r_out, r_in, teeth, hole, extra=""):
    pts = []
    for i in range(teeth * 2):
        a0 = math.pi * i / teeth
        r = r_out if i % 2 == 0 else r_in
        for da in (-0.55, 0.55):
            a = a0 + da * math.pi / teeth
            pts.append(f"{cx + r * math.cos(a):.1f},{cy + r * math.sin(a):.1f}")
    return (f'<polygon points="{" ".join(pts)}" {W_FILL} {extra} stroke="#fff" stroke-width="22" '
            f'stroke-linejoin="round"/><circle cx="{cx}" cy="{cy}" r="{hole}" fill="none" {W_LINE}/>')


tab_icon("DeviceConfig.png",
         f'<rect x="40" y="64" width="432" height="120" rx="24" {W_FILL} {W_LINE}/>'
         + "".join(f'<rect x="{x}" y="100" width="34" height="48" rx="9" fill="#fff"/>' for x in (92, 162, 232))
         + f'<circle cx="398" cy="124" r="16" fill="{YELLOW}"/>'
         + gear(256, 346, 122, 92, 8, 38))

tab_icon("GroupConfig.png",
         f'<rect x="186" y="40" width="140" height="104" rx="18" fill="{YELLOW}" fill-opacity="0.9" {W_LINE}/>'
         f'<path d="M 256 144 L 256 224 M 104 300 L 104 246 Q 104 224 126 224 L 386 224 Q 408 224 408 246 '
         f'L 408 300 M 256 224 L 256 300" fill="none" {W_LINE}/>'
         + "".join(f'<rect x="{x}" y="300" width="128" height="104" rx="18" {W_FILL} {W_LINE}/>'
                   for x in (40, 192, 344))
         + "".join(f'<line x1="{x + 30}" y1="352" x2="{x + 98}" y2="352" {W_LINE}/>' for x in (40, 192, 344)))


def slider(x, knob_y):
    return (f'<line x1="{x}" y1="60" x2="{x}" y2="452" {W_LINE}/>'
            f'<rect x="{x - 46}" y="{knob_y - 34}" width="92" height="68" rx="20" fill="{YELLOW}" {W_LINE}/>')


tab_icon("SystemConfig.png",
         f'<rect x="40" y="40" width="432" height="432" rx="44" {W_FILL} {W_LINE}/>'
         + slider(144, 300) + slider(256, 168) + slider(368, 340))


# ---------------------------------------------------------------- overview and configuration icons

def small_icon(name, body, size=64):
    picture(f"OverviewWidget/{name}", size, size, body)


B_LINE = f'stroke="{BLUE}" stroke-width="5" stroke-linecap="round" stroke-linejoin="round"'

small_icon("Group.png",
           f'<defs>{gradient("f", "#7CCBFF", BLUE)}</defs>'
           f'<path d="M 6 16 Q 6 10 12 10 L 25 10 L 31 17 L 52 17 Q 58 17 58 23 L 58 50 Q 58 56 52 56 '
           f'L 12 56 Q 6 56 6 50 Z" fill="url(#f)"/>'
           f'<path d="M 6 26 L 58 26" stroke="#fff" stroke-opacity="0.5" stroke-width="3"/>'
           + "".join(f'<rect x="{x}" y="35" width="9" height="12" rx="2.5" fill="#fff"/>' for x in (16, 28, 40)))

picture("OverviewWidget/RightTriangle.png", 66, 60,
        f'<defs>{gradient("t", BLUE_LIGHT, BLUE)}</defs>'
        f'<path d="M 20 13 L 48 30 L 20 47 Z" fill="url(#t)" stroke="{BLUE}" stroke-width="4" '
        f'stroke-linejoin="round"/>')

small_icon("DeviceControl.png",
           f'<defs>{gradient("f", "#56C38A", GREEN_DARK)}</defs>'
           f'<circle cx="32" cy="32" r="28" fill="url(#f)"/>'
           f'<path d="M 22.5 20.5 A 15 15 0 1 0 41.5 20.5" fill="none" stroke="#fff" stroke-width="5.5" '
           f'stroke-linecap="round"/><line x1="32" y1="13" x2="32" y2="31" stroke="#fff" stroke-width="5.5" '
           f'stroke-linecap="round"/>')

small_icon("Network.png",
           f'<path d="M 32 18 L 32 30 M 12 44 L 12 36 Q 12 30 18 30 L 46 30 Q 52 30 52 36 L 52 44" fill="none" '
           f'{B_LINE}/>'
           f'<rect x="20" y="4" width="24" height="17" rx="4" fill="{BLUE}"/>'
           f'<rect x="2" y="42" width="22" height="17" rx="4" fill="{BLUE_LIGHT}" stroke="{BLUE}" stroke-width="3"/>'
           f'<rect x="40" y="42" width="22" height="17" rx="4" fill="{BLUE_LIGHT}" stroke="{BLUE}" stroke-width="3"/>'
           f'<rect x="26" y="10" width="12" height="4" rx="1.5" fill="#fff"/>')

small_icon("Warning.png",
           f'<defs>{gradient("f", "#FFC65A", AMBER)}</defs>'
           f'<path d="M 32 6 L 60 56 L 4 56 Z" fill="url(#f)" stroke="{AMBER}" stroke-width="6" '
           f'stroke-linejoin="round"/>'
           f'<line x1="32" y1="22" x2="32" y2="39" stroke="#fff" stroke-width="6" stroke-linecap="round"/>'
           f'<circle cx="32" cy="48" r="3.6" fill="#fff"/>')

def bell(name, top, bottom, edge, ringing):
    """A device row's alarm: a bell, ringing while nobody has acknowledged the alarm."""
    waves = (f'<path d="M 9 20 Q 4 28 9 36 M 55 20 Q 60 28 55 36" fill="none" stroke="{edge}" '
             f'stroke-width="4.5" stroke-linecap="round"/>' if ringing else "")
    small_icon(name,
               f'<defs>{gradient("f", top, bottom)}</defs>{waves}'
               f'<circle cx="32" cy="9" r="4.5" fill="{edge}"/>'
               f'<path d="M 13 47 Q 18 41 18 29 Q 18 12 32 12 Q 46 12 46 29 Q 46 41 51 47 Z" fill="url(#f)" '
               f'stroke="{edge}" stroke-width="3.5" stroke-linejoin="round"/>'
               f'<rect x="9" y="45" width="46" height="7" rx="3.5" fill="{edge}"/>'
               f'<circle cx="32" cy="57" r="5.5" fill="{edge}"/>')


bell("Alarm.png", "#FF8A8E", RED, RED_DARK, True)
bell("AlarmAcknowledged.png", "#FFD88A", AMBER, "#B7791F", False)

small_icon("Timer.png",
           f'<circle cx="32" cy="36" r="23" fill="#EAF5FF" {B_LINE}/>'
           f'<line x1="32" y1="4" x2="32" y2="12" {B_LINE}/><line x1="24" y1="4" x2="40" y2="4" {B_LINE}/>'
           f'<line x1="51" y1="15" x2="55" y2="11" {B_LINE}/>'
           f'<path d="M 32 22 L 32 36 L 42 42" fill="none" stroke="{BLUE_DEEP}" stroke-width="5" '
           f'stroke-linecap="round" stroke-linejoin="round"/>')

small_icon("Information.png",
           f'<defs>{gradient("f", BLUE_LIGHT, BLUE)}</defs>'
           f'<circle cx="32" cy="32" r="28" fill="url(#f)"/>'
           f'<circle cx="32" cy="18" r="4.5" fill="#fff"/>'
           f'<path d="M 26 28 L 34 28 L 34 47 M 26 47 L 40 47" fill="none" stroke="#fff" stroke-width="5.5" '
           f'stroke-linecap="round" stroke-linejoin="round"/>')


# ---------------------------------------------------------------- title-bar buttons (30x30, on the band)

TITLE_GLYPHS = {
    "Min": '<line x1="9.5" y1="15.5" x2="20.5" y2="15.5"/>',
    "Max": '<rect x="9.5" y="9.5" width="11" height="11" rx="1.2"/>',
    "Restore": '<rect x="9.5" y="12.5" width="8" height="8" rx="1"/>'
               '<path d="M 12.5 12.5 L 12.5 9.5 L 20.5 9.5 L 20.5 17.5 L 17.5 17.5"/>',
    "Close": '<path d="M 10 10 L 20 20 M 20 10 L 10 20"/>',
    "Menu": '<path d="M 9.5 10.5 L 20.5 10.5 M 9.5 15.5 L 20.5 15.5 M 9.5 20.5 L 20.5 20.5"/>',
}
TITLE_STATES = {
    "Normal": ("none", "1"),
    "Hover": ('<rect width="30" height="30" fill="#fff" fill-opacity="0.24"/>', "1"),
    "Press": ('<rect width="30" height="30" fill="#003A73" fill-opacity="0.30"/>', "0.9"),
}
for name, glyph in TITLE_GLYPHS.items():
    for state, (ground, opacity) in TITLE_STATES.items():
        if name == "Close" and state != "Normal":
            ground = f'<rect width="30" height="30" fill="{RED if state == "Hover" else RED_DARK}"/>'
        picture(f"TitleButton/{name}_{state}.png", 30, 30,
                (ground if ground != "none" else "")
                + f'<g fill="none" stroke="#fff" stroke-opacity="{opacity}" stroke-width="1.6" '
                  f'stroke-linecap="round" stroke-linejoin="round">{glyph}</g>')


# ---------------------------------------------------------------- menus

picture("Menu/Bkgnd.png", 9, 9, f'<rect width="9" height="9" fill="{WHITE}"/>'
        f'<rect x="0.5" y="0.5" width="8" height="8" fill="none" stroke="{EDGE}"/>')
picture("Menu/Separator.png", 12, 3, f'<rect y="1" width="12" height="1" fill="{EDGE_SOFT}"/>')
picture("Menu/Indicator.png", 16, 16, f'<path d="M 3.5 8.5 L 6.5 11.5 L 12.5 4.5" fill="none" stroke="{BLUE}" '
        f'stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/>')
picture("Menu/Arrow.png", 16, 16, f'<path d="M 6.5 4 L 10.5 8 L 6.5 12" fill="none" stroke="{INK}" '
        f'stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round"/>')


# ---------------------------------------------------------------- check boxes and outlet switches

BOX_STATES = {  # fill of an unticked box, its edge; fill of a ticked box
    "Normal": (WHITE, "#8FB3D4", BLUE),
    "Hover": ("#EEF7FF", BAND, BAND),
    "Press": ("#D8ECFC", BLUE, BLUE_DEEP),
    "Disabled": (GRAY_PALE, GRAY, GRAY),
}
for state, (fill, edge, ticked) in BOX_STATES.items():
    picture(f"CheckBox/Uncheck_{state}.png", 16, 16,
            f'<rect x="1.5" y="1.5" width="13" height="13" rx="2.5" fill="{fill}" stroke="{edge}"/>')
    box = f'<rect x="1" y="1" width="14" height="14" rx="3" fill="{ticked}"/>'
    picture(f"CheckBox/Check_{state}.png", 16, 16,
            box + '<path d="M 4.3 8.2 L 6.9 10.8 L 11.8 5.3" fill="none" stroke="#fff" stroke-width="2" '
                  'stroke-linecap="round" stroke-linejoin="round"/>')
    picture(f"CheckBox/Indeterminate_{state}.png", 16, 16,
            box + '<line x1="4.5" y1="8" x2="11.5" y2="8" stroke="#fff" stroke-width="2" stroke-linecap="round"/>')


def switch(name, on, stale=False):
    # Stale: an offline device's last reported state, washed out.
    colours = ({True: ("#C4D6CB", "#A9BFB1"), False: ("#E4E8EC", "#D3D9DF")} if stale else
               {True: ("#44C482", GREEN_DARK), False: ("#D3DAE2", "#B5C0CB")})[on]
    track = (f'<defs>{gradient("t", *colours)}'
             f'{gradient("k", WHITE, "#E9EEF3")}'
             f'<filter id="s" x="-30%" y="-30%" width="160%" height="160%"><feGaussianBlur in="SourceAlpha" '
             f'stdDeviation="0.8"/><feOffset dy="0.8"/><feComponentTransfer><feFuncA type="linear" slope="0.4"/>'
             f'</feComponentTransfer><feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge></filter></defs>'
             f'<rect x="0.5" y="1" width="32" height="18" rx="9" fill="url(#t)"/>')
    knob_x = 23.5 if on else 9.5
    mark_ = ('<line x1="9" y1="6.5" x2="9" y2="13.5" stroke="#fff" stroke-width="1.8" stroke-linecap="round"/>' if on
             else '<circle cx="24" cy="10" r="3.3" fill="none" stroke="#fff" stroke-width="1.6"/>')
    picture(f"CheckBox/{name}", 33, 20,
            track + mark_ + f'<circle cx="{knob_x}" cy="10" r="7.5" fill="url(#k)" filter="url(#s)"/>')


switch("Switch_On.png", True)
switch("Switch_Off.png", False)
switch("Switch_On_Stale.png", True, True)
switch("Switch_Off_Stale.png", False, True)


# ---------------------------------------------------------------- combo boxes and the login fields

CHEVRON = '<path d="M {x0} {y0} L {xm} {y1} L {x2} {y0}" fill="none" stroke="{c}" stroke-width="1.8" ' \
          'stroke-linecap="round" stroke-linejoin="round"/>'
for state, (ground, ink) in {"Normal": ("", INK),
                             "Hover": (f'<rect x="1" y="1" width="22" height="28" rx="2" fill="{BAND}" '
                                       f'fill-opacity="0.14"/>', BLUE),
                             "Press": (f'<rect x="1" y="1" width="22" height="28" rx="2" fill="{BAND}" '
                                       f'fill-opacity="0.28"/>', BLUE_DEEP)}.items():
    picture(f"ComboBox/InputBtn_{state}.png", 24, 30,
            ground + CHEVRON.format(x0=7.5, y0=13, xm=12, y1=17.5, x2=16.5, c=ink))
    picture(f"ComboBox/DropBtn_{state}.png", 20, 24,
            f'<line x1="0.5" y1="4" x2="0.5" y2="20" stroke="{EDGE_SOFT}"/>'
            + ground.replace('width="22" height="28"', 'width="18" height="22"')
            + CHEVRON.format(x0=6, y0=10.5, xm=10, y1=14.5, x2=14, c=ink))
picture("ComboBox/ListBkgnd.png", 9, 9, f'<rect width="9" height="9" fill="{WHITE}"/>'
        f'<rect x="0.5" y="0.5" width="8" height="8" fill="none" stroke="{BAND}"/>')


def login_edit(name, upper, top_edge, fill, edge, seam):
    """A 20x20 border image (3-pixel slices): one half of the joined account and password box. The
    upper half is rounded at the top, the lower half at the bottom; the lower half draws its top edge
    only when hovered, otherwise the upper half's seam separates the two."""
    if upper:
        shape = "M 0.5 20 L 0.5 4 Q 0.5 0.5 4 0.5 L 16 0.5 Q 19.5 0.5 19.5 4 L 19.5 20"
    else:
        shape = "M 0.5 0 L 0.5 16 Q 0.5 19.5 4 19.5 L 16 19.5 Q 19.5 19.5 19.5 16 L 19.5 0"
    body = f'<path d="{shape} Z" fill="{fill}"/><path d="{shape}" fill="none" stroke="{edge}"/>'
    if top_edge:
        body += f'<line x1="0" y1="0.5" x2="20" y2="0.5" stroke="{edge}"/>'
    if seam:
        body += f'<line x1="1" y1="19.5" x2="19" y2="19.5" stroke="{seam}"/>'
    picture(f"LoginEdit/{name}", 20, 20, body)


for state, (fill, edge, seam) in {"Normal": (WHITE, EDGE, EDGE_SOFT), "Hover": (WHITE, BAND, BAND),
                                  "Disabled": (GRAY_PALE, GRAY, GRAY)}.items():
    login_edit(f"Upper_{state}.png", True, True, fill, edge, seam)
    login_edit(f"Lower_{state}.png", False, state == "Hover", fill, edge, None)


# ---------------------------------------------------------------- scroll bars (12 pixels thick)

SCROLL = {"Normal": ("#BCD3E8", "#8AA6BF", "#E8F1F9"), "Hover": ("#86B7E2", BLUE, "#D6E8F7"),
          "Press": (BAND, BLUE_DEEP, "#BFDDF7")}
for state, (handle, arrow, end) in SCROLL.items():
    picture(f"ScrollBar/VHandle_{state}.png", 12, 40, f'<rect x="3" y="1" width="6" height="38" rx="3" fill="{handle}"/>')
    picture(f"ScrollBar/HHandle_{state}.png", 40, 12, f'<rect x="1" y="3" width="38" height="6" rx="3" fill="{handle}"/>')
    picture(f"ScrollBar/End_{state}.png", 12, 12, f'<rect x="1" y="1" width="10" height="10" rx="2.5" fill="{end}"/>')
    for direction, d in {"Up": "M 3.5 7.5 L 6 5 L 8.5 7.5", "Down": "M 3.5 4.5 L 6 7 L 8.5 4.5",
                         "Left": "M 7.5 3.5 L 5 6 L 7.5 8.5", "Right": "M 4.5 3.5 L 7 6 L 4.5 8.5"}.items():
        picture(f"ScrollBar/Arrow{direction}_{state}.png", 12, 12,
                f'<path d="{d}" fill="none" stroke="{arrow}" stroke-width="1.5" stroke-linecap="round" '
                f'stroke-linejoin="round"/>')
picture("ScrollBar/VBkgnd_Hover.png", 12, 40, f'<rect x="2" y="0" width="8" height="40" rx="4" fill="#E3EEF8"/>')
picture("ScrollBar/HBkgnd_Hover.png", 40, 12, f'<rect x="0" y="2" width="40" height="8" rx="4" fill="#E3EEF8"/>')


# ---------------------------------------------------------------- tree branches (rows 30 pixels high)

DOTS = f'stroke="{BAND}" stroke-width="1" stroke-dasharray="1 2" shape-rendering="crispEdges"'
picture("TreeView/BranchVline.png", 20, 30, f'<line x1="9.5" y1="0" x2="9.5" y2="30" {DOTS}/>')
picture("TreeView/BranchMore.png", 20, 30, f'<line x1="9.5" y1="0" x2="9.5" y2="30" {DOTS}/>'
        f'<line x1="11" y1="15.5" x2="20" y2="15.5" {DOTS}/>')
picture("TreeView/BranchEnd.png", 20, 30, f'<line x1="9.5" y1="0" x2="9.5" y2="16" {DOTS}/>'
        f'<line x1="11" y1="15.5" x2="20" y2="15.5" {DOTS}/>')
for name, plus in (("BranchClosed.png", True), ("BranchOpen.png", False)):
    picture(f"TreeView/{name}", 16, 16,
            f'<defs>{gradient("g", WHITE, "#E4F2FD")}</defs>'
            f'<rect x="2.5" y="2.5" width="11" height="11" rx="2.5" fill="url(#g)" stroke="{BLUE}"/>'
            f'<line x1="5.5" y1="8" x2="10.5" y2="8" stroke="{BLUE}" stroke-width="1.5" stroke-linecap="round"/>'
            + (f'<line x1="8" y1="5.5" x2="8" y2="10.5" stroke="{BLUE}" stroke-width="1.5" '
               f'stroke-linecap="round"/>' if plus else ""))


# ---------------------------------------------------------------- push buttons (3-pixel border images)

def button(name, top, bottom, edge, gloss=True):
    picture(f"NormalButton/{name}", 30, 30,
            f'<defs>{gradient("g", top, bottom)}</defs>'
            f'<rect x="0.5" y="0.5" width="29" height="29" rx="3" fill="url(#g)" stroke="{edge}"/>'
            + ('<line x1="3" y1="1.5" x2="27" y2="1.5" stroke="#fff" stroke-opacity="0.6"/>' if gloss else ""))


button("Btn_Normal.png", WHITE, "#E8F3FC", EDGE)
button("Btn_Hover.png", "#F4FAFF", "#D8ECFC", BAND)
button("Btn_Press.png", "#C9E3F9", "#DCEEFC", BLUE, gloss=False)
button("Btn_Disabled.png", "#F6F7F8", "#ECEEF0", "#D3D8DD", gloss=False)
button("Btn_Login_Normal.png", "#40B2FF", BLUE, "#1A7CD3")
button("Btn_Login_Hover.png", "#62C1FF", "#2E97F0", "#1E89E7")
button("Btn_Login_Press.png", BLUE, "#176FC2", "#135FA8", gloss=False)


# ---------------------------------------------------------------- rendering

def loading_frames(count=30, width=377, height=6):
    """The scanning strip: a bright comet sweeping along a pale track."""
    frames = []
    span = 150
    for i in range(count):
        x = -span + (width + span) * i / count
        frames.append(f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}">'
                      f'<defs><linearGradient id="c" x1="0" y1="0" x2="1" y2="0">'
                      f'<stop offset="0" stop-color="{BAND}" stop-opacity="0"/>'
                      f'<stop offset="0.7" stop-color="{BAND}"/><stop offset="0.92" stop-color="{BLUE}"/>'
                      f'<stop offset="1" stop-color="{WHITE}"/></linearGradient></defs>'
                      f'<rect width="{width}" height="{height}" fill="#D9EEFD"/>'
                      f'<rect x="{x:.1f}" width="{span}" height="{height}" fill="url(#c)"/></svg>')
    return frames


def render(svg_text, out, w, h, tmp):
    src = Path(tmp) / "picture.svg"
    src.write_text(svg_text)
    out.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["rsvg-convert", "-w", str(w), "-h", str(h), "-o", str(out), str(src)], check=True)
    # Drop the time stamps and colour-profile chunks so that unchanged pictures stay byte-identical.
    subprocess.run(["convert", str(out), "-strip", "-define", "png:exclude-chunks=date,time", f"PNG32:{out}"],
                   check=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--svg", type=Path, help="also write the SVG of every picture here")
    args = parser.parse_args()
    for tool in ("rsvg-convert", "convert"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (apt-get install librsvg2-bin imagemagick)")

    with tempfile.TemporaryDirectory() as tmp:
        for path, (w, h, svg) in sorted(pictures.items()):
            render(svg, RESOURCES / path, w, h, tmp)
            if args.svg:
                (args.svg / path).with_suffix(".svg").parent.mkdir(parents=True, exist_ok=True)
                (args.svg / path).with_suffix(".svg").write_text(svg)

        frames = []
        for i, svg in enumerate(loading_frames()):
            frame = Path(tmp) / f"frame{i:02}.png"
            render(svg, frame, 377, 6, tmp)
            frames.append(str(frame))
        gif = RESOURCES / "Movie" / "Loading.gif"
        gif.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["convert", "-delay", "4", "-loop", "0", *frames, "-layers", "Optimize", str(gif)],
                       check=True)
    print(f"{len(pictures)} pictures and Movie/Loading.gif written under {RESOURCES}")


if __name__ == "__main__":
    main()
