#!/usr/bin/python3
# Copied from the team's shared benchmark tools so that benchmarks run from a plain clone.
"""Render a deterministic, realistic-looking desktop image for screenshot benchmarks.

Layout (scaled to W x H): a taskbar, a dark code-editor pane full of syntax-coloured
monospace text, a light "browser" pane with headings, prose, buttons and a table, and a
photo-like region (multi-octave smooth noise + fine sensor-like noise + vignette).
The mix is meant to give PNG compression ratios typical of real 4K/5K screenshots,
not a flat colour.

usage: python3 gen_content.py WIDTH HEIGHT OUT.png   (needs Debian packages python3-pil and fonts-dejavu-core)
"""
import random
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

W, H, OUT = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
S = W / 3840.0  # scale factor relative to 4K
rnd = random.Random(20240601)
FONTDIR = "/usr/share/fonts/truetype/dejavu/"


def font(name, px):
    return ImageFont.truetype(FONTDIR + name, max(8, int(px * S)))


img = Image.new("RGB", (W, H), (40, 44, 52))
d = ImageDraw.Draw(img)

# ---- taskbar -------------------------------------------------------------
bar_h = int(48 * S)
d.rectangle([0, H - bar_h, W, H], fill=(30, 30, 36))
f_bar = font("DejaVuSans.ttf", 20)
x = int(12 * S)
for i, label in enumerate(["Files", "Terminal", "Editor - main.cpp", "Browser", "Mail", "Music"]):
    w = int((150 + 20 * len(label)) * S)
    d.rounded_rectangle([x, H - bar_h + 6 * S, x + w, H - 6 * S], radius=int(6 * S),
                        fill=(60, 64, 80) if i == 2 else (44, 46, 56))
    d.text((x + 14 * S, H - bar_h + 12 * S), label, font=f_bar, fill=(220, 220, 230))
    x += w + int(8 * S)
d.text((W - 260 * S, H - bar_h + 12 * S), "Tue 14:32  EN  100%", font=f_bar, fill=(220, 220, 230))

# ---- code editor pane (left) -----------------------------------------------
ed_w = int(W * 0.42)
d.rectangle([0, 0, ed_w, H - bar_h], fill=(30, 31, 34))
d.rectangle([0, 0, ed_w, int(36 * S)], fill=(43, 45, 48))
f_tab = font("DejaVuSans.ttf", 18)
for i, t in enumerate(["main.cpp", "capture.h", "overlay.cpp", "encoder.cpp"]):
    d.rectangle([i * 220 * S, 0, i * 220 * S + 215 * S, 36 * S], fill=(30, 31, 34) if i == 0 else (43, 45, 48))
    d.text((i * 220 * S + 14 * S, 8 * S), t, font=f_tab, fill=(200, 200, 200))
f_code = font("DejaVuSansMono.ttf", 17)
src = open("/usr/include/X11/Xlib.h", encoding="latin-1").read().splitlines()[200:]
kw = ("int", "char", "unsigned", "long", "struct", "typedef", "extern", "void", "Display",
      "Window", "Bool", "Status", "return", "if", "#define", "#include")
y = int(44 * S)
line_h = int(22 * S)
ln = 201
for line in src:
    if y > H - bar_h - line_h:
        break
    d.text((8 * S, y), f"{ln:5d}", font=f_code, fill=(90, 94, 100))
    xx = 80 * S
    for tok in line.replace("\t", "    ").split(" "):
        col = (169, 183, 198)
        if tok in kw:
            col = (204, 120, 50)
        elif tok.startswith("/*") or tok.startswith("*"):
            col = (128, 128, 128)
        elif tok[:1].isdigit():
            col = (104, 151, 187)
        elif tok.startswith("X"):
            col = (255, 198, 109)
        d.text((xx, y), tok, font=f_code, fill=col)
        xx += (len(tok) + 1) * 10.2 * S
        if xx > ed_w - 20 * S:
            break
    y += line_h
    ln += 1

# ---- browser pane (right top) ----------------------------------------------
bx0, by0, bx1, by1 = ed_w + int(8 * S), 0, W, int((H - bar_h) * 0.52)
d.rectangle([bx0, by0, bx1, by1], fill=(255, 255, 255))
d.rectangle([bx0, by0, bx1, by0 + 70 * S], fill=(222, 225, 230))
d.rounded_rectangle([bx0 + 120 * S, by0 + 14 * S, bx1 - 120 * S, by0 + 56 * S], radius=int(20 * S), fill=(255, 255, 255))
d.text((bx0 + 145 * S, by0 + 24 * S), "https://example.org/docs/screenshots/performance.html", font=f_tab, fill=(60, 60, 60))
prose = open("/usr/share/common-licenses/GPL-3", encoding="utf-8").read().split()
f_h1 = font("DejaVuSans-Bold.ttf", 40)
f_p = font("DejaVuSans.ttf", 19)
f_b = font("DejaVuSans-Bold.ttf", 19)
d.text((bx0 + 60 * S, by0 + 100 * S), "Terms and Conditions", font=f_h1, fill=(20, 20, 20))
y = by0 + 170 * S
wi = 0
col_w = (bx1 - bx0) * 0.62
while y < by1 - 240 * S:
    xx = bx0 + 60 * S
    while True:
        word = prose[wi % len(prose)]
        wi += 1
        wlen = d.textlength(word + " ", font=f_p)
        if xx + wlen > bx0 + 60 * S + col_w:
            break
        d.text((xx, y), word, font=f_p, fill=(35, 35, 35) if wi % 37 else (20, 90, 200))
        xx += wlen
    y += 30 * S
    if rnd.random() < 0.12:
        y += 24 * S
# sidebar with buttons and a table
sx = bx0 + 60 * S + col_w + 50 * S
for i, (lab, c) in enumerate([("Download", (46, 125, 50)), ("Share", (25, 118, 210)), ("Report", (198, 40, 40))]):
    d.rounded_rectangle([sx, by0 + 110 * S + i * 70 * S, sx + 300 * S, by0 + 160 * S + i * 70 * S], radius=int(8 * S), fill=c)
    d.text((sx + 24 * S, by0 + 122 * S + i * 70 * S), lab, font=f_b, fill=(255, 255, 255))
ty = by0 + 340 * S
for r in range(14):
    d.rectangle([sx, ty + r * 34 * S, bx1 - 40 * S, ty + (r + 1) * 34 * S],
                fill=(245, 247, 250) if r % 2 else (255, 255, 255), outline=(220, 220, 225))
    d.text((sx + 10 * S, ty + r * 34 * S + 6 * S), f"row {r + 1}", font=f_p, fill=(40, 40, 40))
    d.text((sx + 150 * S, ty + r * 34 * S + 6 * S), f"{rnd.uniform(0, 999):8.2f}", font=f_p, fill=(40, 40, 40))

# ---- photo-like region (right bottom) --------------------------------------
px0, py0 = ed_w + int(8 * S), by1 + int(8 * S)
pw, ph = W - px0, H - bar_h - py0
photo = Image.new("RGB", (pw, ph), (0, 0, 0))
for octave, (cells, weight) in enumerate([(6, 0.55), (18, 0.25), (60, 0.12), (200, 0.08)]):
    small = Image.new("RGB", (cells, max(2, cells * ph // pw)))
    small.putdata([(rnd.randint(0, 255), rnd.randint(0, 255), rnd.randint(0, 255))
                   for _ in range(small.width * small.height)])
    layer = small.resize((pw, ph), Image.BICUBIC)
    photo = Image.blend(photo, layer, weight / (weight + (1.0 if octave else 0.0001)) if octave else 1.0)
# warm "sunset" tint via gradient, fine sensor noise, slight blur
grad = Image.linear_gradient("L").resize((pw, ph)).convert("RGB")
photo = ImageChops.multiply(photo, Image.merge("RGB", [grad.getchannel(0).point(lambda v: 255 - v // 3),
                                                        grad.getchannel(0).point(lambda v: 200 - v // 4),
                                                        grad.getchannel(0).point(lambda v: 140 + v // 3)]))
photo = photo.filter(ImageFilter.GaussianBlur(1.2 * S))
noise = Image.effect_noise((pw, ph), 10).convert("RGB")
photo = Image.blend(photo, ImageChops.add(photo, noise, scale=1.0, offset=-128), 0.35)
img.paste(photo, (px0, py0))
d.rectangle([px0, py0, px0 + pw - 1, py0 + 40 * S], fill=(50, 50, 56))
d.text((px0 + 14 * S, py0 + 8 * S), "IMG_2041.jpg - Image Viewer", font=f_tab, fill=(230, 230, 230))

img.save(OUT, compress_level=6)
print(OUT, img.size)
