#!/usr/bin/env python3
"""Writes the bundled sample patches in samples/.

The samples are our own: each is a complete patch in the device's file layout (CR LF line ends,
the XML declaration, the root element with its schema version, the name, then one <Param> block
per parameter with <ID>, <Position>, <Value>, <Name> and <Text> lines). Every file lists all
parameters of every model, as the device writes them; only the values differ.

Run from the repository root: python3 tools/make_samples.py
"""

import os

# (position, module enable/type records, knob records) per block, in the order the device writes
# them. A record is (id, name, default text).
PICKUP = [(65, "Pickup Enable", "On"), (64, "Pickup Type", "SC&gt;HB")]
WAH = [(129, "Wah Enable", "Off"), (128, "Wah Type", "Cry Wah"), (8195, "Wah Min", "0"),
       (8196, "Wah Max", "99"), (133, "Wah Vol. Boost", "0 dB")]
COMPRESSOR = [(193, "Compressor Enable", "Off"), (207, "Compressor Type", "Digi Comp"),
              (208, "Compressor Sustain", "20"), (209, "Compressor Tone", "50"),
              (211, "Compressor Attack", "Fast"), (210, "Compressor Level", "8"),
              (213, "Compressor Sensitivity", "35"), (212, "Compressor Output", "40")]
DIST_KNOBS = [(2434, "Dist Drive", "60"), (2435, "Dist Tone", "55"), (2436, "Dist Level", "70"),
              (2473, "Dist Overdrive", "45"), (2474, "Dist Tone", "50"), (2475, "Dist Level", "70"),
              (2450, "Dist Gain", "40"), (2451, "Dist Tone", "50"), (2452, "Dist Clean", "30"),
              (2453, "Dist Volume", "70"), (2448, "Dist Drive", "55"), (2449, "Dist Level", "60"),
              (2443, "Dist Gain", "65"), (2444, "Dist Level", "60"), (2437, "Dist Distortion", "75"),
              (2438, "Dist Filter", "40"), (2439, "Dist Level", "60"), (2468, "Dist Distortion", "80"),
              (2469, "Dist Output", "55"), (2440, "Dist Drive", "70"), (2441, "Dist Tone", "45"),
              (2442, "Dist Level", "60"), (2454, "Dist Grunge", "90"), (2455, "Dist Butt", "60"),
              (2456, "Dist Face", "70"), (2457, "Dist Loud", "65"), (2460, "Dist Gain", "85"),
              (2463, "Dist Low", "+4"), (2462, "Dist Mid Level", "-6"), (2464, "Dist High", "+3"),
              (2465, "Dist Level", "60"), (2477, "Dist Low", "+6"), (2476, "Dist Mid Level", "-8"),
              (2479, "Dist High", "+5"), (2478, "Dist Level", "65"), (2480, "Dist Gunk", "70"),
              (2471, "Dist Smear", "50"), (2470, "Dist Suck", "40"), (2472, "Dist Heave", "60"),
              (2466, "Dist Drive", "75"), (2467, "Dist Volume", "60"), (2481, "Dist Fuzz", "85"),
              (2482, "Dist Tone", "45"), (2483, "Dist LooseTight", "Tight"), (2484, "Dist Level", "60"),
              (2485, "Dist Fuzz", "80"), (2486, "Dist Tone", "50"), (2487, "Dist Volume", "65"),
              (2458, "Dist Fuzz", "90"), (2459, "Dist Volume", "60"), (2445, "Dist Sustain", "75"),
              (2446, "Dist Tone", "50"), (2447, "Dist Volume", "60")]
DISTORTION = [(2433, "Dist Enable", "Off"), (2432, "Dist Type", "Screamer")] + DIST_KNOBS


def amp(side):
    return [(265, f"Amp {side} Enable", "On"), (2496, f"Amp {side} Type", "65 Blackface Twin"),
            (2497, f"Amp {side} Gain", "30"), (2498, f"Amp {side} Level", "80"),
            (2560, f"Cab {side} Type", "Twin 2x12")]


def eq(side):
    return [(3212, f"EQ {side} Enable", "Off"), (3202, f"EQ {side} Type", "Warm"),
            (3203, f"EQ {side} Bass", "+3 dB"), (3204, f"EQ {side} Mid", "-2 dB"),
            (3205, f"EQ {side} Treb", "+1 dB"), (3206, f"EQ {side} Mid Freq", "800 Hz"),
            (3207, f"EQ {side} Presence", "0 dB")]


GATE = [(705, "Gate Enable", "On"), (704, "Gate Type", "Gate"), (710, "Gate Threshold", "12"),
        (712, "Gate Attack", "5"), (713, "Gate Release", "20"), (714, "Gate Attenuation", "40"),
        (711, "Gate Pluck Sens", "30")]
CHORUS_KNOBS = [
    (770, "Chorus/FX Position", "Post Amp"), (837, "Chorus Speed", "30"), (838, "Chorus Depth", "45"),
    (840, "Chorus Waveform", "Triangle"), (836, "Chorus Level", "50"), (848, "Chorus Width", "60"),
    (849, "Chorus Intensity", "55"), (902, "Flanger Speed", "25"), (903, "Flanger Depth", "70"),
    (904, "Flanger Regen", "60"), (901, "Flanger Level", "50"), (914, "Flanger Width", "65"),
    (917, "Flanger Manual", "40"), (918, "Flanger Rate", "20"), (919, "Flanger Range", "75"),
    (916, "Flanger Color", "Hi"), (1030, "Trig Flanger Speed", "50"), (1031, "Trig Flanger Sens", "60"),
    (1028, "Trig Flanger Lfo Start", "10"), (1032, "Trig Flanger Level", "50"),
    (962, "Phaser Speed", "35"), (963, "Phaser Depth", "70"), (966, "Phaser Regen", "55"),
    (965, "Phaser Level", "50"), (976, "Phaser Intensity", "60"), (979, "Phaser Rate", "30"),
    (977, "Phaser Color", "Lo"), (1094, "Trig Phaser Speed", "45"), (1095, "Trig Phaser Sens", "65"),
    (1092, "Trig Phaser Lfo Start", "0"), (1096, "Trig Phaser Level", "50"),
    (1284, "Vibrato Speed", "40"), (1285, "Vibrato Depth", "50"), (1346, "Rotary Speed", "Slow"),
    (1348, "Rotary Intensity", "70"), (1350, "Rotary Doppler", "60"), (1351, "Rotary Crossover", "800 Hz"),
    (1314, "VibroPan Speed", "35"), (1315, "VibroPan Depth", "60"), (1316, "VibroPan Vibro/Pan", "Pan"),
    (1317, "VibroPan Waveform", "Sine"), (2884, "Unovibe Pedal Speed", "45"),
    (2883, "Unovibe Intensity", "70"), (2882, "Unovibe Chorus/Vibrato", "Chorus"),
    (2885, "Unovibe Volume", "60"), (1156, "Tremolo Speed", "55"), (1155, "Tremolo Depth", "65"),
    (1157, "Tremolo Waveform", "Square"), (1220, "Panner Speed", "30"), (1219, "Panner Depth", "80"),
    (1221, "Panner Waveform", "Sine"), (1606, "Envelope Sens", "60"), (1605, "Envelope Range", "70"),
    (1608, "Envelope Blend", "50"), (1478, "AutoYa Speed", "40"), (1482, "AutoYa Intensity", "70"),
    (1483, "AutoYa Range", "50"), (1410, "YaYa Pedal", "50"), (1417, "YaYa Intensity", "60"),
    (1418, "YaYa Range", "45"), (1542, "SynthTalk Attack", "30"), (1547, "SynthTalk Release", "40"),
    (1540, "SynthTalk Vox", "3"), (1544, "SynthTalk Sens", "55"), (3010, "Step Filter Speed", "60"),
    (3011, "Step Filter Intensity", "75"), (1797, "Whammy Amount", "Oct Up"),
    (1795, "Whammy Pedal", "0"), (1796, "Whammy Mix", "100"), (1730, "Pitch Shift Amount", "+7 semitones"),
    (1745, "Pitch Shift Mix", "50"), (1668, "Detune Amount", "-10 cents"), (1667, "Detune Level", "50"),
    (2754, "IPS Amount", "3rd Up"), (2756, "IPS Key", "E"), (2755, "IPS Scale", "Major"),
    (2757, "IPS Level", "60"), (1746, "Octaver Octave 1", "40"), (1747, "Octaver Ocatave 2", "20"),
    (1748, "Octaver Dry Level", "80")]
CHORUS = [(769, "Chorus/FX Enable", "Off"), (768, "Chorus/FX Type", "CE Chorus")] + CHORUS_KNOBS
DELAY = [(1857, "Delay Enable", "Off"), (1856, "Delay Type", "Analog"), (1888, "Delay Time", "450 ms"),
         (1863, "Delay Repeats", "8"), (1860, "Delay Level", "35"), (1894, "Delay Repeat Rate", "40"),
         (1895, "Delay Echo", "55"), (1896, "Delay Intensity", "50"), (1889, "Delay Duck Thresh", "20"),
         (1890, "Delay Duck Level", "10"), (1873, "Delay Depth", "30"), (1891, "Delay Tape Wow", "25"),
         (1892, "Delay Tape Flut", "35"), (1897, "EchoPlex Time", "380 ms"), (1874, "EchoPlex Repeats", "6"),
         (1893, "Delay Volume", "45")]
REVERB = [(1921, "Reverb Enable", "Off"), (1920, "Reverb Type", "Lexicon Hall"),
          (1922, "Reverb Predelay", "20 ms"), (1927, "Reverb Decay", "2.5 s"),
          (1933, "Reverb Liveliness", "6"), (1925, "Reverb Level", "30")]
EXPRESSION = [(8194, "Expression Assign", "None"), (8195, "Expression Min", "0"), (8196, "Expression Max", "99")]


def lfo(n):
    return [(8258, f"LFO{n} Assign", "None"), (8259, f"LFO{n} Min", "0"), (8260, f"LFO{n} Max", "99"),
            (8263, f"LFO{n} Waveform", "Triangle"), (8262, f"LFO{n} Speed", "1.00 Hz")]


VOLUME = [(2, "Volume Pre FX", "70"), (3, "Volume Post FX", "80"), (8, "Patch Level", "+2 dB")]

BLOCKS = [("pickup", 1, PICKUP), ("wah", 2, WAH), ("compressor", 3, COMPRESSOR),
          ("distortion", 4, DISTORTION), ("ampA", 5, amp("A")), ("eqA", 6, eq("A")),
          ("gate", 7, GATE), ("chorus", 8, CHORUS), ("delay", 9, DELAY), ("reverb", 10, REVERB),
          ("ampB", 11, amp("B")), ("eqB", 12, eq("B")), ("expression", 13, EXPRESSION),
          ("lfo1", 14, lfo(1)), ("lfo2", 15, lfo(2)), ("volume", 16, VOLUME)]


def write_patch(path, name, values):
    """values: {(block, id): text}; texts may be str or bytes (bytes are written as they are)."""
    def b(s):
        return s if isinstance(s, bytes) else s.encode("utf-8")

    out = [b'<?xml version="1.0" encoding="utf-8"?>',
           b'<RP350Preset SchemaVersion="1.2" xmlns="http://www.digitech.com/xml/preset">',
           b"  <Name>" + b(name) + b"</Name>", b"  <Params>"]
    for block, position, records in BLOCKS:
        for index, (pid, pname, default) in enumerate(records):
            text = values.get((block, pid), default)
            out += [b"    <Param>", b"      <ID>%d</ID>" % pid, b"      <Position>%d</Position>" % position,
                    b"      <Value>%d</Value>" % (index * 7 % 100), b"      <Name>" + b(pname) + b"</Name>",
                    b"      <Text>" + b(text) + b"</Text>", b"    </Param>"]
    out += [b"  </Params>", b"</RP350Preset>", b""]
    with open(path, "wb") as f:
        f.write(b"\r\n".join(out))


SAMPLES = {
    "Clean Lead": {
        ("compressor", 193): "On", ("compressor", 208): "25",
        ("ampA", 2496): b"'65 Blackface Twin\xae", ("ampA", 2497): "18", ("ampA", 2498): "85",
        ("eqA", 3212): "On", ("eqA", 3202): "Mid Boost", ("eqA", 3204): "+4 dB",
        ("chorus", 769): "On", ("chorus", 768): "CE Chorus",
        ("delay", 1857): "On", ("reverb", 1921): "On",
        ("ampB", 265): "Off", ("ampB", 2496): "Clean", ("ampB", 2560): "Bright 2x12",
    },
    "Screamer Blues": {
        ("pickup", 64): "HB&gt;SC", ("distortion", 2433): "On", ("distortion", 2432): "Screamer",
        ("ampA", 2496): "GSP2101 Clean Tube", ("ampA", 2560): "Deluxe Reverb 1x12", ("ampA", 2497): "42",
        ("eqA", 3212): "On", ("eqA", 3202): "Bright",
        ("delay", 1857): "On", ("delay", 1856): "Tape", ("reverb", 1921): "On", ("reverb", 1920): "Twin Reverb",
        ("expression", 8194): "Dist Drive", ("expression", 8195): "20", ("expression", 8196): "85",
        ("lfo1", 8258): "Chorus Speed", ("lfo1", 8262): "0.50 Hz",
        ("ampB", 2496): "57 Tweed Deluxe", ("ampB", 2560): "Deluxe 1x12 T",
    },
    "Acoustic Strum": {
        ("pickup", 64): "SC&gt;Acoustic", ("compressor", 193): "On", ("compressor", 207): "Dyna Comp",
        ("ampA", 2496): "Dread Acoustic", ("ampA", 2560): "Direct", ("ampA", 2498): "75",
        ("ampB", 2496): "Jumbo Acoustic", ("ampB", 2560): "Direct", ("ampB", 2498): "72",
        ("eqA", 3212): "On", ("eqA", 3202): "Scoop", ("eqB", 3212): "On", ("eqB", 3202): "Warm",
        ("gate", 704): "Swell", ("chorus", 769): "On", ("chorus", 768): "Multi Chorus",
        ("reverb", 1921): "On", ("reverb", 1920): "Lexicon Room", ("reverb", 1925): "40",
        ("wah", 128): "Full Range",
    },
    "Direct Whammy": {
        ("pickup", 65): "Off", ("distortion", 2433): "On", ("distortion", 2432): "Fuzzulator",
        ("ampA", 2496): "Direct", ("ampA", 2560): "Direct", ("ampB", 265): "Off", ("ampB", 2496): "Metal",
        ("ampB", 2560): "Metal 4x12",
        ("chorus", 769): "On", ("chorus", 768): "Whammy", ("chorus", 1797): "2 Oct Up",
        ("delay", 1857): "On", ("delay", 1856): "Pong",
        ("expression", 8194): "Whammy Pedal", ("expression", 8195): "0", ("expression", 8196): "99",
        ("lfo2", 8258): "Flanger Speed", ("lfo2", 8263): "Sine", ("lfo2", 8262): "2.25 Hz",
        ("gate", 705): "Off",
    },
    "Metal Rhythm": {
        ("distortion", 2433): "On", ("distortion", 2432): "Death",
        ("ampA", 2496): "01 Dual Rectifier", ("ampA", 2560): "Vintage V30 4x12", ("ampA", 2497): "88",
        ("ampB", 2496): "83 JCM800", ("ampB", 2560): "British 4x12", ("ampB", 2497): "75",
        ("eqA", 3212): "On", ("eqA", 3202): "Scoop", ("eqA", 3203): "+6 dB", ("eqA", 3204): "-8 dB",
        ("eqB", 3212): "On", ("eqB", 3202): "Mid Boost",
        ("gate", 704): "Gate", ("gate", 710): "28", ("reverb", 1921): "On", ("reverb", 1920): "EMT240 Plate",
        ("reverb", 1925): "15", ("expression", 8194): "Pitch Shift Amount",
        ("expression", 8195): "0 semitones", ("expression", 8196): "+7 semitones",
    },
    "Octave Fuzz": {
        ("wah", 129): "On", ("wah", 128): "Clyde Wah", ("wah", 133): "+3 dB",
        ("distortion", 2433): "On", ("distortion", 2432): "Classic Fuzz",
        ("ampA", 2496): "68 Marshall Jump", ("ampA", 2560): "British Green 4x12",
        ("chorus", 769): "On", ("chorus", 768): "Octaver",
        ("delay", 1857): "On", ("delay", 1856): "EchoPlex",
        ("expression", 8194): "Octaver Ocatave 2", ("expression", 8195): "0", ("expression", 8196): "60",
        ("lfo1", 8258): "Dist Volume", ("lfo1", 8259): "30", ("lfo1", 8260): "70",
        ("lfo2", 8258): "Rotary Speed", ("lfo2", 8259): "Slow&gt;Fast",
        ("ampB", 2496): "96 Matchless HC30", ("ampB", 2560): "Fane 4x12",
    },
    "Grunge Phaser": {
        ("compressor", 193): "On", ("compressor", 207): "CS Comp",
        ("distortion", 2433): "On", ("distortion", 2432): "Grunge",
        ("ampA", 2496): "93 JCM900", ("ampA", 2560): "Slant V30 4x12",
        ("gate", 704): "Gate", ("chorus", 769): "On", ("chorus", 768): "Trig Phaser",
        ("delay", 1857): "On", ("delay", 1856): "DM-2",
        ("reverb", 1921): "On", ("reverb", 1920): "Lexicon Ambience",
        ("ampB", 2496): "81 Boogie Mark II", ("ampB", 2560): "Rock 4x12",
    },
    "Rotary Organ": {
        ("pickup", 64): "HB&gt;SC", ("ampA", 2496): "63 AC-30 TB", ("ampA", 2560): "British 2x12",
        ("chorus", 769): "On", ("chorus", 768): "Rotary", ("chorus", 1346): "Fast",
        ("reverb", 1921): "On", ("reverb", 1920): "Lexicon Studio",
        ("expression", 8194): "Rotary Speed", ("expression", 8195): "Slow", ("expression", 8196): "Fast",
        ("lfo1", 8258): "Volume Post FX", ("lfo1", 8263): "Square",
        ("ampB", 2496): "62 AC-15", ("ampB", 2560): "Blonde 2x12", ("eqB", 3202): "Bright",
    },
}

if __name__ == "__main__":
    os.makedirs("samples", exist_ok=True)
    for name, values in SAMPLES.items():
        write_patch(os.path.join("samples", name + ".rp350p"), name, values)
