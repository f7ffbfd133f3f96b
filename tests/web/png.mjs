// PNG pictures for the page's tests: decoding 8-bit RGB(A) files into RGB, and comparing two
// pictures of one size.
import { inflateSync } from 'node:zlib';

// Decodes an 8-bit RGB or RGBA, non-interlaced PNG into { width, height, rgb }.
export function decodePng(bytes) {
  bytes = Buffer.from(bytes);
  let offset = 8;
  let width = 0, height = 0, colorType = 0;
  const data = [];
  while (offset < bytes.length) {
    const length = bytes.readUInt32BE(offset);
    const type = bytes.toString('latin1', offset + 4, offset + 8);
    const body = bytes.subarray(offset + 8, offset + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      colorType = body[9];
      if (body[8] !== 8 || (colorType !== 2 && colorType !== 6) || body[12] !== 0)
        throw new Error('unsupported PNG');
    } else if (type === 'IDAT') {
      data.push(body);
    }
    offset += 12 + length;
  }
  const channels = colorType === 6 ? 4 : 3;
  const raw = inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const pixels = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    for (let x = 0; x < stride; x++) {
      const value = raw[y * (stride + 1) + 1 + x];
      const a = x >= channels ? pixels[y * stride + x - channels] : 0;
      const b = y > 0 ? pixels[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
      let predictor = 0;
      if (filter === 1) predictor = a;
      else if (filter === 2) predictor = b;
      else if (filter === 3) predictor = (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c;
        const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      pixels[y * stride + x] = (value + predictor) & 0xff;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; i++)
    for (let k = 0; k < 3; k++)
      rgb[i * 3 + k] = pixels[i * channels + k];
  return { width, height, rgb };
}

// The share of pixels whose largest channel difference passes `tolerance`, the mean
// difference per channel, and the largest.
export function comparePictures(a, b, tolerance) {
  let different = 0, total = 0, max = 0;
  for (let i = 0; i < a.rgb.length; i += 3) {
    let worst = 0;
    for (let k = 0; k < 3; k++) {
      const d = Math.abs(a.rgb[i + k] - b.rgb[i + k]);
      total += d;
      worst = Math.max(worst, d);
    }
    max = Math.max(max, worst);
    if (worst > tolerance)
      different++;
  }
  const pixels = a.rgb.length / 3;
  return { share: different / pixels, mean: total / a.rgb.length, max };
}
