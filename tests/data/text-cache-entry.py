# A text cache entry written without the program's code (a tiny CBOR encoder of its own):
# tests write entries with it, and it made the seeds in fuzz/corpus/fuzz_textcache/
# (python3 tests/data/text-cache-entry.py fuzz/corpus/fuzz_textcache).
import struct, sys

def head(major, n):
    if n < 24: return bytes([major << 5 | n])
    if n < 256: return bytes([major << 5 | 24, n])
    if n < 65536: return bytes([major << 5 | 25]) + struct.pack('>H', n)
    return bytes([major << 5 | 26]) + struct.pack('>I', n)

def enc(v):
    if isinstance(v, bool): raise TypeError
    if isinstance(v, int): return head(0, v) if v >= 0 else head(1, -1 - v)
    if isinstance(v, bytes): return head(2, len(v)) + v
    if isinstance(v, str): b = v.encode(); return head(3, len(b)) + b
    if isinstance(v, dict):
        return head(5, len(v)) + b''.join(enc(k) + enc(x) for k, x in v.items())
    raise TypeError(v)

def entry(key, glyphs, w=1000, h=800, dpi=300, version=1, magic=1):
    text = ''.join(g[0] for g in glyphs)
    layer = {'v': version, 'w': w, 'h': h, 'dpi': dpi, 't': text,
             'n': bytes(len(g[0].encode('utf-16-le')) // 2 for g in glyphs),
             'b': b''.join(struct.pack('<4H', *g[1]) for g in glyphs),
             'c': bytes(g[2] for g in glyphs), 'f': bytes(g[3] for g in glyphs)}
    return enc({'qen-text-cache': magic, 'key': key, 'layer': layer})

if __name__ == '__main__':
    glyphs = [('中', (10, 10, 40, 44), 96, 6), ('文', (52, 10, 40, 44), 91, 0),
              ('A', (110, 12, 24, 40), 88, 1), ('𠀀', (10, 70, 40, 44), 50, 2)]
    key = b'a' * 64
    out = sys.argv[1]
    open(out + '/entry', 'wb').write(entry(key, glyphs))
    open(out + '/truncated-entry', 'wb').write(entry(key, glyphs)[:-7])
    open(out + '/later-version', 'wb').write(entry(key, glyphs, version=2))
    open(out + '/other-key', 'wb').write(entry(b'b' * 64, glyphs))
    open(out + '/box-past-page', 'wb').write(entry(key, glyphs, w=60))
    open(out + '/empty-page', 'wb').write(entry(key, []))
