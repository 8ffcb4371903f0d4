#!/usr/bin/python3
"""Measures how near each fitting mode's screen looks to the photo it was made from.

The error of a screen is the mean CIE76 Delta E, in CIELAB, between the photo scaled to fit
256x192 (area average, centred on black) and the screen rendered in the Spectrum colours, both
blurred with a Gaussian of sigma 1 pixel, as the eye merges dithered pixels; the mean is taken
over the whole 256x192 screen. Mode none is the fit without dithering, given the
photo quantised to 256 colours by ImageMagick; the bound is ImageMagick's Floyd-Steinberg remap
to the 15 Spectrum colours, which ignores the two colours of a cell and so cannot be loaded.
The floor is what two colours a cell can reach at best under this measure: every blurred pixel
of a cell moved to the nearest of 17 mixtures of the cell's best pair (cells do not mix across
their edges here, which a blur does, so it is an estimate, not a proof).

Usage: dither_quality.py DITHER_QUALITY_PROGRAM [OUTPUT_FOLDER]
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image
from scipy import ndimage
from skimage import color
import skimage

PHOTOS = ["astronaut", "chelsea", "coffee", "motorcycle_left", "rocket", "camera"]
MODES = ["none", "floyd", "atkinson", "ordered"]
WIDTH, HEIGHT = 256, 192
SPECTRUM = [0, 200, 252]  # 6-bit components 0, 50, 63 shown in 8 bits.


def photo_path(name):
    folder = os.path.join(os.path.dirname(skimage.__file__), "data")
    for extension in (".png", ".jpg"):
        path = os.path.join(folder, name + extension)
        if os.path.exists(path):
            return path
    raise SystemExit(f"no photo {name} in {folder}")


def area_weights(source, target):
    """The (target x source) matrix whose row i holds the share of each source pixel in the
    target pixel i, for a scale by target / source <= 1."""
    weights = np.zeros((target, source))
    scale = source / target
    for i in range(target):
        start, end = i * scale, (i + 1) * scale
        for j in range(int(start), min(int(np.ceil(end)), source)):
            weights[i, j] = min(end, j + 1) - max(start, j)
    return weights / weights.sum(axis=1, keepdims=True)


def scaled_photo(name):
    """The photo scaled by area average to fit 256x192 and centred on black."""
    picture = np.asarray(Image.open(photo_path(name)).convert("RGB"), dtype=np.float64)
    height, width = picture.shape[:2]
    scale = min(WIDTH / width, HEIGHT / height, 1.0)
    out_width = min(WIDTH, round(width * scale))
    out_height = min(HEIGHT, round(height * scale))
    rows, columns = area_weights(height, out_height), area_weights(width, out_width)
    scaled = np.einsum("ij,jkc->ikc", rows, picture, optimize=True)
    scaled = np.einsum("ikc,lk->ilc", scaled, columns, optimize=True)
    screen = np.zeros((HEIGHT, WIDTH, 3), dtype=np.uint8)
    top, left = (HEIGHT - out_height) // 2, (WIDTH - out_width) // 2
    screen[top:top + out_height, left:left + out_width] = np.clip(np.rint(scaled), 0, 255)
    return screen


def write_ppm(path, rgb):
    Image.fromarray(rgb, "RGB").save(path)


def read_rgb(path):
    return np.asarray(Image.open(path).convert("RGB"))


def blurred_lab(rgb):
    blurred = ndimage.gaussian_filter(rgb.astype(np.float64) / 255.0, sigma=(1, 1, 0))
    return color.rgb2lab(np.clip(blurred, 0.0, 1.0))


def delta_e(source, screen):
    return float(color.deltaE_cie76(blurred_lab(source), blurred_lab(screen)).mean())


def spectrum_pairs():
    """The 72 pairs of Spectrum colours of one brightness, as (first, second) 8-bit colours."""
    pairs = []
    for level in SPECTRUM[1:]:
        colours = [np.array([level * ((i >> 1) & 1), level * ((i >> 2) & 1), level * (i & 1)],
                            dtype=np.float64) for i in range(8)]
        pairs += [(colours[a], colours[b]) for a in range(8) for b in range(a, 8)]
    return pairs


def two_colour_floor(source):
    parts = np.linspace(0.0, 1.0, 17)
    mixtures = np.array([[a + (b - a) * t for t in parts] for a, b in spectrum_pairs()])
    mixtures = color.rgb2lab(mixtures / 255.0)
    cells = blurred_lab(source).reshape(24, 8, 32, 8, 3).transpose(0, 2, 1, 3, 4)
    total = 0.0
    for cell in cells.reshape(-1, 64, 3):
        distances = np.sqrt(((cell[:, None, None, :] - mixtures[None]) ** 2).sum(-1))
        total += distances.min(axis=2).sum(axis=0).min()
    return total / (WIDTH * HEIGHT)


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit(__doc__)
    program = os.path.realpath(sys.argv[1])
    with tempfile.TemporaryDirectory() as scratch:
        work = sys.argv[2] if len(sys.argv) == 3 else scratch
        os.makedirs(work, exist_ok=True)
        palette = os.path.join(scratch, "palette.png")
        colours = sorted({(r * c[0], g * c[1], b * c[2])
                          for c in [(SPECTRUM[1],) * 3, (SPECTRUM[2],) * 3]
                          for r in (0, 1) for g in (0, 1) for b in (0, 1)})
        write_ppm(palette, np.array([colours], dtype=np.uint8))
        rows = []
        for name in PHOTOS:
            source = scaled_photo(name)
            prefix = os.path.join(work, name)
            write_ppm(prefix + ".ppm", source)
            subprocess.run([program, prefix + ".ppm", prefix, *MODES[1:]], check=True)
            # The fit without dithering takes a palette picture: over 256 colours are first
            # quantised, as a user of the fit would have to.
            fit_source = prefix + "-256.ppm"
            if len(np.unique(source.reshape(-1, 3), axis=0)) > 256:
                subprocess.run(["convert", prefix + ".ppm", "-colors", "256", fit_source],
                               check=True)
            else:
                write_ppm(fit_source, source)
            subprocess.run([program, fit_source, prefix, "none"], check=True)
            subprocess.run(["convert", prefix + ".ppm", "-dither", "FloydSteinberg", "-remap",
                            palette, prefix + "-remap.ppm"], check=True)
            errors = {mode: delta_e(source, read_rgb(f"{prefix}-{mode}.ppm"))
                      for mode in MODES + ["remap"]}
            errors["floor"] = two_colour_floor(source)
            rows.append((name, errors))
    print(f"| photo | {' | '.join(MODES)} | remap (bound) | two-colour floor | floyd / none "
          "| floyd / remap | best of floyd, atkinson / remap |")
    print("|---|" + "---:|" * (len(MODES) + 5))
    averages = {key: np.mean([e[key] for _, e in rows]) for key in MODES + ["remap", "floor"]}
    for name, errors in rows + [("mean", averages)]:
        best = min(errors["floyd"], errors["atkinson"])
        cells = [f"{errors[m]:.2f}" for m in MODES + ["remap", "floor"]]
        print(f"| {name} | {' | '.join(cells)} | {errors['floyd'] / errors['none']:.2f} "
              f"| {errors['floyd'] / errors['remap']:.2f} | {best / errors['remap']:.2f} |")


if __name__ == "__main__":
    main()
