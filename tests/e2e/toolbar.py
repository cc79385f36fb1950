"""Where the overlay's tool bar puts each of its items, so tests can click them like a user.

The tool bar is 582x44 points, placed 10 points below the selection (above it, or inside it at
the bottom, when there is no room), centred on it and kept 4 points inside the display; on a
display with less room the margins shrink, and on one narrower than the bar it ends at the
display's right edge."""

WIDTH, HEIGHT = 582, 44

# name -> (x of the left edge, width), in tool-bar points
ITEMS = {
    "select": (8, 30), "arrow": (38, 30), "rectangle": (68, 30), "highlighter": (98, 30),
    "text": (128, 30), "pixelate": (158, 30), "freehand": (188, 30),
    "accent": (227, 22), "yellow": (249, 22), "green": (271, 22), "blue": (293, 22),
    "cream": (315, 22),
    "thin": (346, 30), "medium": (376, 30), "thick": (406, 30),
    "undo": (445, 30), "redo": (475, 30), "save": (514, 30), "copy": (544, 30),
}


def kept_inside(wanted, length, low, high):
    margin = min(max((high - low - length) / 2, 0), 4)
    return min(max(wanted, low + margin), high - length - margin)


def item_point(item, selection, display):
    """Root pixel at the centre of a tool-bar item.

    selection: (x0, y0, x1, y1) in root pixels; display: (x, y, width, height, scale) in root
    pixels with its scale (pixels per point)."""
    dx, dy, dw, dh, scale = display
    left = (min(selection[0], selection[2]) - dx) / scale
    right = (max(selection[0], selection[2]) - dx) / scale
    top = (min(selection[1], selection[3]) - dy) / scale
    bottom = (max(selection[1], selection[3]) - dy) / scale
    width, height = dw / scale, dh / scale
    # In y-down points: the tool bar's top edge.
    y = bottom + 10
    if y + HEIGHT > height - 4:
        y = top - 10 - HEIGHT
        if y < 4:
            y = bottom - 10 - HEIGHT
    x = (left + right) / 2 - WIDTH / 2
    x = kept_inside(x, WIDTH, 0, width)
    y = kept_inside(y, HEIGHT, 0, height)
    ix, iw = ITEMS[item]
    return (round(dx + (x + ix + iw / 2) * scale), round(dy + (y + 22) * scale))
