#!/usr/bin/env python3
"""Draws the icon of Morvane Backup: a tape cassette with a green badge and
an arrow into it. The shapes below are the one description of the icon; this
script writes them as SVG and rasterises them into PNG files (antialiased by
supersampling) with nothing but the standard library.

    desktop/make-icons.py [FOLDER]    FOLDER: where icons/hicolor/... go
                                      (default: the folder of this script)

Run it again after changing a shape and keep the files it writes."""

import os
import struct
import sys
import zlib

SIZE = 256
NAME = "morvane-backup"
PNG_SIZES = (48, 256)
SUPERSAMPLING = 4

# Painted in order, each over the ones before: (kind, colour, geometry).
#   rect:    x, y, width, height, corner radius
#   circle:  centre x, centre y, radius
#   polygon: the corners, in order
SHAPES = [
	("rect", "#2f3e4e", (16, 44, 224, 160, 20)),       # the cassette
	("rect", "#f4efe2", (36, 60, 184, 88, 10)),        # its label
	("rect", "#e8793a", (36, 72, 184, 10, 0)),         # the label's stripe
	("rect", "#1d2731", (64, 96, 128, 40, 20)),        # the window
	("circle", "#d9dde2", (92, 116, 15)),              # the reels
	("circle", "#d9dde2", (164, 116, 15)),
	("circle", "#1d2731", (92, 116, 6)),
	("circle", "#1d2731", (164, 116, 6)),
	("polygon", "#3d5063", ((56, 204), (72, 164), (184, 164), (200, 204))),
	("circle", "#1d2731", (96, 186, 6)),               # the guide holes
	("circle", "#1d2731", (130, 186, 6)),
	("circle", "#ffffff", (196, 196, 50)),             # the badge
	("circle", "#2e9d5b", (196, 196, 43)),
	("polygon", "#ffffff", ((186, 166), (206, 166), (206, 193), (223, 193),
		(196, 224), (169, 193), (186, 193))),          # the arrow
]


def svg_element(kind, colour, geometry):
	if kind == "rect":
		x, y, width, height, radius = geometry
		return (f'<rect x="{x}" y="{y}" width="{width}" height="{height}" '
			f'rx="{radius}" fill="{colour}"/>')
	if kind == "circle":
		x, y, radius = geometry
		return f'<circle cx="{x}" cy="{y}" r="{radius}" fill="{colour}"/>'
	points = " ".join(f"{x},{y}" for x, y in geometry)
	return f'<polygon points="{points}" fill="{colour}"/>'


def svg_text():
	lines = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" '
		f'viewBox="0 0 {SIZE} {SIZE}">',
		"<title>Morvane Backup</title>"]
	lines += ["\t" + svg_element(*shape) for shape in SHAPES]
	lines.append("</svg>")
	return "\n".join(lines) + "\n"


def inside_rect(geometry, x, y):
	left, top, width, height, radius = geometry
	if not (left <= x <= left + width and top <= y <= top + height):
		return False
	# The nearest point of the rectangle shrunk by the radius.
	near_x = min(max(x, left + radius), left + width - radius)
	near_y = min(max(y, top + radius), top + height - radius)
	return (x - near_x) ** 2 + (y - near_y) ** 2 <= radius ** 2


def inside_circle(geometry, x, y):
	centre_x, centre_y, radius = geometry
	return (x - centre_x) ** 2 + (y - centre_y) ** 2 <= radius ** 2


def inside_polygon(geometry, x, y):
	inside = False
	count = len(geometry)
	for index in range(count):
		x1, y1 = geometry[index]
		x2, y2 = geometry[(index + 1) % count]
		if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
			inside = not inside
	return inside


INSIDE = {"rect": inside_rect, "circle": inside_circle, "polygon": inside_polygon}


def bounds(kind, geometry):
	if kind == "rect":
		x, y, width, height, _ = geometry
		return x, y, x + width, y + height
	if kind == "circle":
		x, y, radius = geometry
		return x - radius, y - radius, x + radius, y + radius
	return (min(p[0] for p in geometry), min(p[1] for p in geometry),
		max(p[0] for p in geometry), max(p[1] for p in geometry))


def rgb(colour):
	return tuple(int(colour[i:i + 2], 16) for i in (1, 3, 5))


def sample(shapes, x, y):
	"""The colour of the topmost shape at (x, y), or None."""
	for kind, colour, geometry, box in shapes:
		if box[0] <= x <= box[2] and box[1] <= y <= box[3] and INSIDE[kind](geometry, x, y):
			return colour
	return None


def raster(size):
	"""Rows of RGBA bytes of the icon at size x size pixels."""
	topmost_first = [(kind, rgb(colour), geometry, bounds(kind, geometry))
		for kind, colour, geometry in reversed(SHAPES)]
	scale = SIZE / size
	step = scale / SUPERSAMPLING
	offsets = [(index + 0.5) * step for index in range(SUPERSAMPLING)]
	total = SUPERSAMPLING * SUPERSAMPLING
	rows = []
	for row in range(size):
		line = bytearray()
		for column in range(size):
			sums = [0, 0, 0]
			covered = 0
			for dy in offsets:
				for dx in offsets:
					colour = sample(topmost_first, column * scale + dx, row * scale + dy)
					if colour is None:
						continue
					covered += 1
					for channel in range(3):
						sums[channel] += colour[channel]
			if covered == 0:
				line += bytes(4)
			else:
				line += bytes([round(s / covered) for s in sums] + [round(255 * covered / total)])
		rows.append(bytes(line))
	return rows


def png_bytes(size, rows):
	def chunk(kind, data):
		body = kind + data
		return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
	header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
	pixels = b"".join(b"\0" + row for row in rows)
	return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
		+ chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def write(path, data):
	os.makedirs(os.path.dirname(path), exist_ok=True)
	with open(path, "wb") as file:
		file.write(data)
	print(path)


def main():
	folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
	hicolor = os.path.join(folder, "icons", "hicolor")
	write(os.path.join(hicolor, "scalable", "apps", NAME + ".svg"), svg_text().encode())
	for size in PNG_SIZES:
		path = os.path.join(hicolor, f"{size}x{size}", "apps", NAME + ".png")
		write(path, png_bytes(size, raster(size)))


if __name__ == "__main__":
	main()
