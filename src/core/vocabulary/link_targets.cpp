#include "vocabulary/link_targets.h"

#include <iterator>
#include <string>

#include "text/byte_text.h"

namespace patchlens {

namespace {

constexpr LinkTarget kLinkTargets[] = {
    {"None", "NOLINK"},                        // 1
    {"Pickup Enable", "PCK ON"},               // 2
    {"Pickup Type", "PCKTYP"},                 // 3
    {"Compressor Enable", "CMP ON"},           // 4
    {"Compressor Sustain", "CMP-SUSTAN"},      // 5
    {"Compressor Attack", "CMP-ATTACK"},       // 6
    {"Compressor Level", "CMP-LEVEL"},         // 7
    {"Compressor Tone", "CMP-TONE"},           // 8
    {"Compressor Sensitivity", "CMP-SENSTV"},  // 9
    {"Compressor Output", "CMP-OUTPUT"},       // 10
    {"Dist Enable", "DST ON"},                 // 11
    {"Dist Overdrive", "OVRDRV"},              // 12
    {"Dist Drive", "DST-DRIVE"},               // 13
    {"Dist Tone", "DST-TONE"},                 // 14
    {"Dist Gain", "DST-GAIN"},                 // 15
    {"Dist Distortion", "DST-DIST"},           // 16
    {"Dist Clean", "DST-CLEAN"},               // 17
    {"Dist Grunge", "DST-GRUNGE"},             // 18
    {"Dist Butt", "DST-BUTT"},                 // 19
    {"Dist Face", "DST-FACE"},                 // 20
    {"Dist Loud", "DST-LOUD"},                 // 21
    {"Dist Low", "DST-LOW"},                   // 22
    {"Dist High", "DST-HIGH"},                 // 23
    {"Dist Mid Level", "DST-MID"},             // 24
    {"Dist Mid Freq", "DST-MIDFRQ"},           // 25
    {"Dist Gunk", "DST-GUNK"},                 // 26
    {"Dist Smear", "DST-SMEAR"},               // 27
    {"Dist Suck", "DST-SUCK"},                 // 28
    {"Dist Heave", "DST-HEAVE"},               // 29
    {"Dist Fuzz", "DST-FUZZ"},                 // 30
    {"Dist Sustain", "DST-SUSTAN"},            // 31
    {"Dist LooseTight", "DST-LOOSET"},         // 32
    {"Dist Volume", "DST-LEVEL"},              // 33
    {"Dist Level", "DST-LEVEL"},               // 34
    {"Dist Output", "DST-OUTPUT"},             // 35
    {"Amp A Enable", "AMPAON"},                // 36
    {"Amp A Level", "AMPA-LEVEL"},             // 37
    {"Amp B Enable", "AMPBON"},                // 38
    {"Amp B Level", "AMPB-LEVEL"},             // 39
    {"EQ A Enable", "EQA ON"},                 // 40
    {"EQ A Bass", "EQA-BASS"},                 // 41
    {"EQ A Mid", "EQA-MIDRNG"},                // 42
    {"EQ A Treb", "EQA-TREBLE"},               // 43
    {"EQ A Presence", "EQA-PRESNC"},           // 44
    {"EQ B Enable", "EQB ON"},                 // 45
    {"EQ B Bass", "EQB-BASS"},                 // 46
    {"EQ B Mid", "EQB-MIDRNG"},                // 47
    {"EQ B Treb", "EQB-TREBLE"},               // 48
    {"EQ B Presence", "EQB-PRESNC"},           // 49
    {"Gate Enable", "GAT ON"},                 // 50
    {"Gate Attack", "GAT-ATTACK"},             // 51
    {"Gate Release", "GAT-RELEAS"},            // 52
    {"Gate Attenuation", "GAT-ATTEN"},         // 53
    {"Gate Threshold", "GAT-THRSH"},           // 54
    {"Gate Pluck Sens", "GAT-SENSTV"},         // 55
    {"Chorus/FX Enable", "FX ON"},             // 56
    {"Chorus Speed", "CHO-SPEED"},             // 57
    {"Chorus Depth", "CHO-DEPTH"},             // 58
    {"Chorus Intensity", "CHO-INTSTY"},        // 59
    {"Chorus Width", "CHO-WIDTH"},             // 60
    {"Chorus Waveform", "CHO-MODWAV"},         // 61
    {"Chorus Level", "CHO-LEVEL"},             // 62
    {"Flanger Speed", "FLA-SPEED"},            // 63
    {"Flanger Depth", "FLA-DEPTH"},            // 64
    {"Flanger Regen", "FLA-REGEN"},            // 65
    {"Flanger Waveform", "FLA-MODWAV"},        // 66
    {"Flanger Level", "FLA-LEVEL"},            // 67
    {"Flanger Manual", "FLA-MANUAL"},          // 68
    {"Flanger Rate", "FLA-RATE"},              // 69
    {"Flanger Range", "FLA-RANGE"},            // 70
    {"Flanger Color", "FLA-COLOR"},            // 71
    {"Trig Flanger Speed", "TFLA-SPEED"},      // 72
    {"Trig Flanger Sens", "TFLA-SENSTV"},      // 73
    {"Trig Flanger Lfo Start", "TFLA-LFO ST"}, // 74
    {"Trig Flanger Level", "TFLA-LEVEL"},      // 75
    {"Phaser Speed", "PHA-SPEED"},             // 76
    {"Phaser Depth", "PHA-DEPTH"},             // 77
    {"Phaser Regen", "PHA-REGEN"},             // 78
    {"Phaser Level", "PHA-LEVEL"},             // 79
    {"Phaser Waveform", "PHA-MODWAV"},         // 80
    {"Phaser Intensity", "PHA-INTSTY"},        // 81
    {"Phaser Rate", "PHA-RATE"},               // 82
    {"Phaser Color", "PHA-COLOR"},             // 83
    {"Trig Phaser Speed", "TPHA-SPEED"},       // 84
    {"Trig Phaser Sens", "TPHA-SENSTV"},       // 85
    {"Trig Phaser Lfo Start", "TPHA-LFO ST"},  // 86
    {"Trig Phaser Level", "TPHA-LEVEL"},       // 87
    {"Vibrato Speed", "VIB-SPEED"},            // 88
    {"Vibrato Depth", "VIB-DEPTH"},            // 89
    {"VibroPan Speed", "VIP-SPEED"},           // 90
    {"VibroPan Depth", "VIP-DEPTH"},           // 91
    {"VibroPan Vibro/Pan", "VIP-VIBPAN"},      // 92
    {"VibroPan Waveform", "VIP-MODWAV"},       // 93
    {"Tremolo Speed", "TRM-SPEED"},            // 94
    {"Tremolo Depth", "TRM-DEPTH"},            // 95
    {"Tremolo Waveform", "TRM-MODWAV"},        // 96
    {"Panner Speed", "PAN-SPEED"},             // 97
    {"Panner Depth", "PAN-DEPTH"},             // 98
    {"Panner Waveform", "PAN-MODWAV"},         // 99
    {"Envelope Sens", "ENV-SENSTV"},           // 100
    {"Envelope Range", "ENV-RANGE"},           // 101
    {"Envelope Blend", "ENV-BLEND"},           // 102
    {"AutoYa Speed", "AYA-SPEED"},             // 103
    {"AutoYa Intensity", "AYA-INTSTY"},        // 104
    {"AutoYa Range", "AYA-RANGE"},             // 105
    {"YaYa Pedal", "YYA-PEDAL"},               // 106
    {"YaYa Intensity", "YYA-INTSTY"},          // 107
    {"YaYa Range", "YYA-RANGE"},               // 108
    {"SynthTalk Attack", "STK-ATTACK"},        // 109
    {"SynthTalk Release", "STK-RELEAS"},       // 110
    {"SynthTalk Vox", "STK-VOX"},              // 111
    {"SynthTalk Sens", "STK-SENSTV"},          // 112
    {"SynthTalk Balance", "STK-MODBAL"},       // 113
    {"Step Filter Speed", "SFI-SPEED"},        // 114
    {"Step Filter Intensity", "SFI-INTSTY"},   // 115
    {"Delay Enable", "DLY ON"},                // 116
    {"Delay Time", "DLY-TIME"},                // 117
    {"Delay Repeats", "DLY-REPEAT"},           // 118
    {"Delay Repeat Rate", "DLY-REPRAT"},       // 119
    {"Delay Depth", "DLY-DEPTH"},              // 120
    {"Delay Level", "DLY-LEVEL"},              // 121
    {"Delay Echo", "DLY-ECHO"},                // 122
    {"Delay Duck Thresh", "DLY-DUKTHR"},       // 123
    {"Delay Duck Level", "DLY-DUKLVL"},        // 124
    {"Delay Tape Wow", "DLY-WOW"},             // 125
    {"Delay Tape Flut", "DLY-FLUTTR"},         // 126
    {"Delay Volume", "DLY-VOLUME"},            // 127
    {"Reverb Enable", "RVB ON"},               // 128
    {"Reverb Predelay", "RVB-PREDLY"},         // 129
    {"Reverb Decay", "RVB-DECAY"},             // 130
    {"Reverb Liveliness", "RVB-LIVNES"},       // 131
    {"Reverb Level", "RVB-LEVEL"},             // 132
    {"Volume Pre FX", "VOLPRE"},               // 133
    {"Volume Post FX", "VOLPST"},              // 134
    {"Whammy Amount", "WHA-AMOUNT"},           // 135
    {"Whammy Pedal", "WHA-PEDAL"},             // 136
    {"Whammy Mix", "WHA-MIX"},                 // 137
    {"Unovibe Pedal Speed", "UNO-SPEED"},      // 138
    {"Unovibe Intensity", "UNO-INTSTY"},       // 139
    {"Unovibe Chorus/Vibrato", "UNO-CHO/VIB"}, // 140
    {"Unovibe Volume", "UNO-VOLUME"},          // 141
    {"Rotary Speed", "ROT-SPEED"},             // 142
    {"Rotary Intensity", "ROT-INTSTY"},        // 143
    {"Rotary Doppler", "ROT-DOPLER"},          // 144
    {"Rotary Crossover", "ROT-X OVER"},        // 145
    {"Pitch Shift Amount", "PSH-SHIFT"},       // 146
    {"Pitch Shift Mix", "PSH-MIX"},            // 147
    {"Detune Amount", "DTU-SHIFT"},            // 148
    {"Detune Level", "DTU-LEVEL"},             // 149
    {"IPS Amount", "IPS-SHIFT"},               // 150
    {"IPS Key", "IPS-KEY"},                    // 151
    {"IPS Scale", "IPS-SCALE"},                // 152
    {"IPS Level", "IPS-LEVEL"},                // 153
    {"Octaver Octave 1", "OCT-OCT 1"},         // 154
    {"Octaver Ocatave 2", "OCT-OCT 2"},        // 155
    {"Octaver Dry Level", "OCT-DRYLVL"},       // 156
};

static_assert(std::size(kLinkTargets) == 156);

} // namespace

std::span<const LinkTarget> LinkTargetTable() {
    return kLinkTargets;
}

std::string_view LookupLinkTarget(std::string_view text) {
    for (const LinkTarget &target : kLinkTargets)
        if (target.displayName == text)
            return target.deviceLabel;
    return text;
}

void ShowKnobLines(const PatchText &text, std::string_view context, const KnobList &knobs, PanelList &list) {
    const bool wah = context == "Wah";
    const bool equalizer = context == "EQ A" || context == "EQ B";
    const bool amplifier = context == "Amp A" || context == "Amp B";
    const bool reverb = context == "Reverb";
    const bool expression = context == "Expression";
    const bool lfo = context == "LFO1" || context == "LFO2";

    for (std::size_t slotNumber = 1; slotNumber <= knobs.knobSlots.size(); ++slotNumber) {
        const KnobSlot &slot = knobs.knobSlots[slotNumber - 1];
        if ((expression || lfo) && LineAt(list, 0) == "NOLINK") {
            if (lfo)
                SelectLine(list, 0);
            return;
        }
        if (slot.empty()) {
            AppendLine(list, std::string());
        } else {
            if (expression && slotNumber == 1)
                AppendLine(list, "PEDAL MIN");
            if (expression && slotNumber == 2)
                AppendLine(list, "PEDAL MAX");
            if (std::optional<std::string> found = FindParameter(text, context, slot.id())) {
                std::string value = std::move(*found);
                if ((wah && slotNumber == 5) || equalizer)
                    value = ReplaceAll(value, "dB", "");
                if (expression || lfo)
                    value = ReplaceAll(value, "&gt;", ">");
                if (expression)
                    value = ReplaceAll(value, "semitones", "semit");
                std::string line = std::string(slot.label()) + "= " + value;
                if (reverb || lfo)
                    InsertLine(list, slotNumber, std::move(line));
                else
                    AppendLine(list, std::move(line));
            }
        }
        if (amplifier)
            DeleteLine(list, 6);
        if (expression && slotNumber == 3)
            return;
        SelectLine(list, 0);
    }
}

} // namespace patchlens
