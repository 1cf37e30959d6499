#!/usr/bin/env python3
"""Writes the inputs of the LMMS host test and checks its renders.

lmms_check.py config OUT WORKING_DIR [VST_DIR]  LMMS settings: dummy audio, no first-run dialogs
lmms_check.py tone FILE                      2 s stereo float test file, 44.1 kHz
lmms_check.py project OUT SAMPLE [DLL [chunk V1,V2,..|params N1,N2,..]]
lmms_check.py info A
lmms_check.py same A B TOL | scaled A B DB TOL | silent A TOL | loud A MIN
Checks exit 0 when they hold, 1 when not, 2 on unreadable input.
"""
import base64
import math
import struct
import sys
from xml.sax.saxutils import quoteattr

RATE = 44100

# The plugin's parameter names as LMMS keeps them; LMMS takes the index, not
# the name, when it restores a value.
PARAM_NAMES = ['level stereo 1', 'level stereo 2', 'level stereo 3',
               'mute stereo 1', 'mute stereo 2', 'mute stereo 3',
               'master level', 'busses silent a']


def write_config(out, working_dir, vst_dir=None):
    vst = ' vstdir=%s' % quoteattr(vst_dir + '/') if vst_dir else ''
    with open(out, 'w') as f:
        f.write('<?xml version="1.0"?>\n<!DOCTYPE lmms-config-file>\n<lmms version="1.2.2">\n'
                '  <app configured="1" nomsgaftersetup="1" nommpz="1"/>\n'
                '  <mixer audiodev="Dummy (no sound output)" mididev="Dummy MIDI driver"/>\n'
                '  <paths workingdir=%s%s/>\n</lmms>\n' % (quoteattr(working_dir + '/'), vst))


def write_tone(path):
    frames = 2 * RATE
    # Different tones left and right, so a swap or a mono sum shows.
    data = bytearray()
    for i in range(frames):
        t = i / RATE
        data += struct.pack('<ff', 0.5 * math.sin(2 * math.pi * 440 * t),
                            0.45 * math.sin(2 * math.pi * 660 * t))
    fmt = struct.pack('<HHIIHH', 3, 2, RATE, RATE * 8, 8, 32)
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 4 + 8 + len(fmt) + 8 + len(data)) + b'WAVE')
        f.write(b'fmt ' + struct.pack('<I', len(fmt)) + fmt)
        f.write(b'data' + struct.pack('<I', len(data)) + data)


def vst_state(kind, values):
    if kind == 'chunk':
        controls = [float(v) for v in values.split(',')]
        controls += [0.0] * (64 - len(controls))
        blob = struct.pack('<65f', -1000.0, *controls)
        return 'chunk=%s' % quoteattr(base64.b64encode(blob).decode())
    if kind == 'params':
        vals = values.split(',')
        attrs = ['numparams="%d"' % len(vals)]
        attrs += ['param%d=%s' % (i, quoteattr('%d:%s:%s' % (i, PARAM_NAMES[i], v)))
                  for i, v in enumerate(vals)]
        return ' '.join(attrs)
    raise ValueError('state kind must be chunk or params')


def write_project(out, sample, dll=None, kind=None, values=None):
    # 120 bpm in 4/4: one bar of 192 ticks is the tone's two seconds.
    if dll:
        state = vst_state(kind, values) if kind else ''
        # With a short decay LMMS stops calling an effect whose output is
        # silent and lets the track through dry; 8 s outlasts the render.
        chain = ('<fxchain enabled="1" numofeffects="1">'
                 '<effect name="vsteffect" on="1" wet="1" gate="0" autoquit="8000"'
                 ' autoquit_numerator="4" autoquit_denominator="4" autoquit_syncmode="0">'
                 '<vsteffectcontrols %s plugin=%s/>'
                 '<key><attribute name="file" value=%s/></key>'
                 '</effect></fxchain>') % (state, quoteattr(dll), quoteattr(dll))
    else:
        chain = '<fxchain enabled="0" numofeffects="0"/>'
    with open(out, 'w') as f:
        f.write('''<?xml version="1.0"?>
<!DOCTYPE lmms-project>
<lmms-project type="song" version="1.0" creator="LMMS" creatorversion="1.2.2">
  <head timesig_denominator="4" bpm="120" masterpitch="0" mastervol="100" timesig_numerator="4"/>
  <song>
    <trackcontainer type="song">
      <track type="2" muted="0" name="Sample track" solo="0">
        <sampletrack vol="100" pan="0">%s</sampletrack>
        <sampletco pos="0" len="192" muted="0" src=%s/>
      </track>
    </trackcontainer>
    <fxmixer>
      <fxchannel num="0" muted="0" volume="1" name="Master" soloed="0">
        <fxchain numofeffects="0" enabled="0"/>
      </fxchannel>
    </fxmixer>
    <timeline lp0pos="0" lp1pos="192" lpstate="0"/>
    <controllers/>
  </song>
</lmms-project>
''' % (chain, quoteattr(sample)))


def read_wav(path):
    # The standard wave module refuses float data, which is what we render.
    with open(path, 'rb') as f:
        data = f.read()
    if data[:4] != b'RIFF' or data[8:12] != b'WAVE':
        raise ValueError(f'{path}: not a RIFF WAVE file')
    pos, fmt, samples = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack('<I', data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b'fmt ':
            tag, channels = struct.unpack('<HH', body[:4])
            bits = struct.unpack('<H', body[14:16])[0]
            if tag == 0xFFFE:
                tag = struct.unpack('<H', body[24:26])[0]
            fmt = (tag, channels, bits)
        elif cid == b'data':
            samples = body
        pos += 8 + size + (size & 1)
    if fmt is None or samples is None:
        raise ValueError(f'{path}: no fmt or data chunk')
    tag, channels, bits = fmt
    if tag != 3 or bits != 32:
        raise ValueError(f'{path}: format {tag}/{bits} bits, expected 32-bit float')
    values = struct.unpack(f'<{len(samples) // 4}f', samples[:len(samples) // 4 * 4])
    return [values[c::channels] for c in range(channels)]


def peak(chans):
    return max(max(abs(x) for x in v) for v in chans)


def mismatch(a, b, gain, tol):
    if len(a) != len(b) or len(a[0]) != len(b[0]):
        return f'shape differs: {len(a)}x{len(a[0])} vs {len(b)}x{len(b[0])}'
    worst, where = 0.0, (0, 0)
    for c in range(len(a)):
        for i, (x, y) in enumerate(zip(a[c], b[c])):
            d = abs(x - gain * y)
            if d > worst:
                worst, where = d, (c + 1, i)
    if worst > tol:
        return f'max difference {worst:.3g} at channel {where[0]} frame {where[1]}'
    return None


def main(argv):
    cmd, args = argv[1], argv[2:]
    if cmd == 'config':
        write_config(*args)
        return 0
    if cmd == 'tone':
        write_tone(args[0])
        return 0
    if cmd == 'project':
        write_project(*args)
        return 0
    try:
        if cmd == 'info':
            a = read_wav(args[0])
            print(f'{len(a)} ch, {len(a[0])} frames, peak {peak(a):.6f}')
            return 0
        if cmd == 'silent':
            a = read_wav(args[0])
            err = mismatch(a, a, 0.0, float(args[1]))
        elif cmd == 'loud':
            p = peak(read_wav(args[0]))
            err = None if p >= float(args[1]) else f'peak {p:.3g} below {args[1]}'
        elif cmd in ('same', 'scaled'):
            a, b = read_wav(args[0]), read_wav(args[1])
            gain = 10 ** (float(args[2]) / 20) if cmd == 'scaled' else 1.0
            err = mismatch(a, b, gain, float(args[-1]))
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except (OSError, ValueError, struct.error) as e:
        print(e)
        return 2
    if err:
        print(err)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
