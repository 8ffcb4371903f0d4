#!/usr/bin/python3
"""Makes PNG, JPEG, GIF and PCX test pictures with Pillow and ImageMagick in the current folder.

For every picture mirva must read, NAME.ref holds what it must read: width and height (16 bits
each, little-endian), then the RGB bytes of the picture composed over black and scaled down to
fit in 256x192 by area averaging, computed here with numpy from the pixels the picture was made
of. cases.txt lists one case a line: NAME FILE TOLERANCE, where TOLERANCE is the largest mean
difference per component allowed (0 for exact), or NAME FILE refused for a file mirva refuses.
"""
import struct
import subprocess
import sys
import zlib

import numpy as np
from PIL import Image

rng = np.random.default_rng(20261209)
cases = []


def fitted_size(width, height):
    if width <= 256 and height <= 192:
        return width, height
    rounded = lambda n, d: max(1, (2 * n + d) // (2 * d))
    if width * 192 >= height * 256:
        return 256, rounded(height * 256, width)
    return rounded(width * 192, height), 192


def overlap_matrix(source, result):
    # Units of the overlap of result pixel r, [r source, (r + 1) source), with source pixel s,
    # [s result, (s + 1) result): the weights of the area average along one axis.
    r = np.arange(result)[:, None]
    s = np.arange(source)[None, :]
    low = np.maximum(r * source, s * result)
    high = np.minimum((r + 1) * source, (s + 1) * result)
    return np.maximum(high - low, 0).astype(np.int64)


def area_average(rgb):
    height, width, _ = rgb.shape
    out_width, out_height = fitted_size(width, height)
    across = overlap_matrix(width, out_width)
    down = overlap_matrix(height, out_height)
    # Sums below 2^53 are exact in floating point, which multiplies faster than integers.
    sums = np.stack([down.astype(np.float64) @ rgb[:, :, c].astype(np.float64) @
                     across.T.astype(np.float64) for c in range(3)], axis=2)
    sums = np.rint(sums).astype(np.int64)
    area = width * height
    return ((sums + area // 2) // area).astype(np.uint8)


def over_black(rgba):
    rgb = rgba[:, :, :3].astype(np.int64)
    alpha = rgba[:, :, 3:4].astype(np.int64)
    return ((rgb * alpha + 127) // 255).astype(np.uint8)


def write_ref(name, rgb):
    scaled = area_average(rgb)
    height, width, _ = scaled.shape
    with open(name + '.ref', 'wb') as out:
        out.write(struct.pack('<HH', width, height) + scaled.tobytes())


def png_header(path):
    data = open(path, 'rb').read()
    assert data[:8] == b'\x89PNG\r\n\x1a\n' and data[12:16] == b'IHDR', path
    width, height, depth, colour_type, _, _, interlace = struct.unpack('>IIBBBBB', data[16:29])
    return width, height, depth, colour_type, interlace


def smooth(width, height):
    # A picture with gradients and noise, so that every sample value and scaling step shows.
    y, x = np.mgrid[0:height, 0:width]
    rgb = np.stack([x * 255 // max(width - 1, 1), y * 255 // max(height - 1, 1),
                    (x * 7 + y * 13) % 256], axis=2)
    rgb = rgb + rng.integers(-20, 21, rgb.shape)
    return np.clip(rgb, 0, 255).astype(np.uint8)


def levels(depth):
    return np.round(np.arange(2**depth) * 255 / (2**depth - 1)).astype(np.uint8)


def magick_png(name, source, colour_type, depth, interlace=False, alpha=False):
    """Writes source (8-bit pixels, exact in the depth) through ImageMagick in the colour type
    and depth asked for, and checks that the file is what was asked."""
    Image.fromarray(source).save(name + '.src.png')
    command = ['convert', name + '.src.png']
    if colour_type == 0 and depth < 8:
        # This ImageMagick refuses the defines below 8 bits; it picks the depth of exact levels.
        command += ['-depth', str(depth), '-type', 'Grayscale']
    else:
        command += ['-define', 'png:color-type=%d' % colour_type,
                    '-define', 'png:bit-depth=%d' % depth]
    if interlace:
        command += ['-interlace', 'PNG']
    subprocess.run(command + [name + '.png'], check=True)
    header = png_header(name + '.png')
    assert header[2:] == (depth, colour_type, int(interlace)), (name, header)


def add_png(name, rgba):
    write_ref(name, over_black(rgba))
    cases.append('%s %s.png 0' % (name, name))


def opaque(rgb):
    return np.concatenate([rgb, np.full(rgb.shape[:2] + (1,), 255, np.uint8)], axis=2)


W, H = 40, 30

# Grey, colour type 0, every depth: 1 bit by Pillow, the others by ImageMagick, in exact levels.
grey = rng.choice(levels(1), (H, W)).astype(np.uint8)
Image.fromarray(grey).convert('1').save('grey1.png')
assert png_header('grey1.png')[2:] == (1, 0, 0)
add_png('grey1', opaque(np.repeat(grey[:, :, None], 3, axis=2)))
for depth in (2, 4, 8, 16):
    grey = rng.choice(levels(min(depth, 8)), (H, W)).astype(np.uint8)
    name = 'grey%d' % depth
    magick_png(name, grey, 0, depth, interlace=depth == 4)
    add_png(name, opaque(np.repeat(grey[:, :, None], 3, axis=2)))

# Palette, colour type 3, every depth: as many colours as the depth holds.
for depth in (1, 2, 4, 8):
    colours = rng.integers(0, 256, (2**depth, 3), dtype=np.uint8)
    indices = rng.integers(0, 2**depth, (H, W), dtype=np.uint8)
    indices[0, 0] = 0  # The margin's colour, seen in the first pixel.
    image = Image.fromarray(indices, 'P')
    image.putpalette(colours.tobytes())
    name = 'palette%d' % depth
    image.save(name + '.png', bits=depth)
    assert png_header(name + '.png')[2:4] == (depth, 3), png_header(name + '.png')
    add_png(name, opaque(colours[indices]))

# Colour, colour type 2, 8 bits by Pillow, 16 bits by ImageMagick (interlaced).
rgb = smooth(W, H)
Image.fromarray(rgb).save('rgb8.png')
assert png_header('rgb8.png')[2:] == (8, 2, 0)
add_png('rgb8', opaque(rgb))
magick_png('rgb16', rgb, 2, 16, interlace=True)
add_png('rgb16', opaque(rgb))

# Grey with alpha (type 4) and colour with alpha (type 6), 8 and 16 bits.
alpha = rng.integers(0, 256, (H, W), dtype=np.uint8)
alpha[0, :] = 0
alpha[1, :] = 255
grey = rng.integers(0, 256, (H, W), dtype=np.uint8)
Image.fromarray(np.stack([grey, alpha], axis=2), 'LA').save('greyalpha8.png')
assert png_header('greyalpha8.png')[2:] == (8, 4, 0)
add_png('greyalpha8', np.stack([grey, grey, grey, alpha], axis=2))
rgba = np.concatenate([rgb, alpha[:, :, None]], axis=2)
Image.fromarray(rgba, 'RGBA').save('rgba8.png')
assert png_header('rgba8.png')[2:] == (8, 6, 0)
add_png('rgba8', rgba)
magick_png('rgba16', rgba, 6, 16, interlace=True)
add_png('rgba16', rgba)
magick_png('greyalpha16', np.stack([grey, alpha], axis=2), 4, 16)
add_png('greyalpha16', np.stack([grey, grey, grey, alpha], axis=2))

# Transparency by tRNS: one grey value, one colour, and per palette entry.
grey = rng.integers(0, 4, (H, W), dtype=np.uint8) * 60
Image.fromarray(grey, 'L').save('greytrns.png', transparency=60)
add_png('greytrns', np.stack([grey, grey, grey, np.where(grey == 60, 0, 255)], axis=2)
        .astype(np.uint8))
colour = rgb.copy()
colour[::3, ::2] = (10, 20, 30)
Image.fromarray(colour).save('rgbtrns.png', transparency=(10, 20, 30))
key = np.all(colour == (10, 20, 30), axis=2)
add_png('rgbtrns', np.concatenate([colour, np.where(key, 0, 255)[:, :, None]], axis=2)
        .astype(np.uint8))
colours = rng.integers(0, 256, (16, 3), dtype=np.uint8)
entry_alpha = rng.integers(0, 256, 16, dtype=np.uint8)
indices = rng.integers(0, 16, (H, W), dtype=np.uint8)
indices[0, 0] = 0
image = Image.fromarray(indices, 'P')
image.putpalette(colours.tobytes())
image.save('palettetrns.png', transparency=entry_alpha.tobytes())
add_png('palettetrns', np.concatenate([colours[indices], entry_alpha[indices][:, :, None]],
                                      axis=2))

# Larger pictures, scaled down: wide and tall, interlaced colour with alpha.
wide = smooth(601, 203)
Image.fromarray(wide).save('wide.png')
add_png('wide', opaque(wide))
tall = smooth(50, 700)
Image.fromarray(tall).convert('L').save('tall.png')
tall_grey = np.asarray(Image.open('tall.png'))
add_png('tall', opaque(np.repeat(tall_grey[:, :, None], 3, axis=2)))
big = np.concatenate([smooth(517, 389), rng.integers(0, 256, (389, 517, 1), dtype=np.uint8)],
                     axis=2)
magick_png('biginterlaced', big, 6, 8, interlace=True)
add_png('biginterlaced', big)

# JPEG: the reference is Pillow's decoding, scaled here; mirva's decoder reduces first, so the
# two agree only nearly.
photo = smooth(1600, 1200)
for name, options, mode in (('baseline', {}, 'RGB'), ('progressive', {'progressive': True}, 'RGB'),
                            ('greyscale', {}, 'L'), ('small', {}, 'RGB')):
    source = photo if name != 'small' else photo[:150, :200]
    Image.fromarray(source).convert(mode).save(name + '.jpg', quality=92, **options)
    decoded = np.asarray(Image.open(name + '.jpg').convert('RGB'))
    write_ref(name, decoded)
    cases.append('%s %s.jpg %s' % (name, name, '0.5' if name == 'small' else '3'))
subprocess.run(['convert', 'baseline.jpg', '-interlace', 'JPEG', '-resize', '1000x750!',
                'magick.jpeg'], check=True)
write_ref('magick', np.asarray(Image.open('magick.jpeg').convert('RGB')))
cases.append('magick magick.jpeg 3')
Image.fromarray(photo[:64, :64]).convert('CMYK').save('cmyk.jpg')
cases.append('cmyk cmyk.jpg refused')

# The same 256x192 pixels of at most 256 colours as PNG, GIF and PCX, and a 200x150 picture
# whose first palette colour is black.
for name, width, height in (('same', 256, 192), ('smaller', 200, 150)):
    colours = rng.integers(0, 256, (256, 3), dtype=np.uint8)
    colours[0] = 0
    indices = rng.integers(0, 256, (height, width), dtype=np.uint8)
    indices[:, : width // 2] //= 16  # Runs of few colours beside noise.
    image = Image.fromarray(indices, 'P')
    image.putpalette(colours.tobytes())
    image.save(name + '.gif')
    image.save(name + '.pcx')
    Image.fromarray(colours[indices]).save(name + '.png')

# A 601x203 picture of 256 colours as PNG, GIF and PCX, larger than a screen.
quantised = Image.open('wide.png').quantize(256, dither=Image.Dither.NONE)
quantised.save('wide256.gif')
quantised.save('wide256.pcx')
quantised.convert('RGB').save('wide256.png')

with open('cases.txt', 'w') as out:
    out.write('\n'.join(cases) + '\n')


def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


def png_file(width, height, depth, colour_type, rows):
    header = struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header) +
            png_chunk(b'IDAT', zlib.compress(rows, 9)) + png_chunk(b'IEND', b''))


# Decompression bombs: a header claiming 100000x100000 over a few bytes of data, a picture one
# pixel past 64 megapixels, and a small file of 8192x8192 grey pixels (64 megapixels exactly).
open('bomb_claim.png', 'wb').write(png_file(100000, 100000, 8, 0, b'\0' * 64))
open('bomb_over.png', 'wb').write(png_file(8193, 8192, 8, 0, b'\0' * 64))
open('bomb_inflate.png', 'wb').write(png_file(8192, 8192, 8, 0, bytes(8193 * 8192)))
