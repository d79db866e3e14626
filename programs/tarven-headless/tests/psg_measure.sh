#!/bin/sh
# psg_measure.sh HEADLESS WAV_MEASURE PYTHON ROM
# Runs our PSG rules program (roms/psg_measure.asm) with the sound written to
# a WAV file, reads the file's header back with libsndfile, and measures each
# 60-frame step, frames 5-55 unless said: the pitch of every period against
# the clock / (32 x period), both latch rules, periodic noise's pitch, white
# noise that does not repeat, the power off a tone's harmonics, the Game
# Gear stereo wiring, the phase kept over octave switches, white noise's
# spectrum and periodic noise's level against the chip's, and the noise
# shifted by tone 2's shortest periods. Prints the pitch table (period, Hz,
# cents) and the noise's octave bands.
set -eu
headless=$1
measure=$2
python=$3
rom=$4
frames=2060
"$headless" --frames $frames --wav sound.wav "$rom"

frame=735
clock=3579545
. "$(dirname "$0")/sound_checks.sh"
# span STEP: the samples of frames 5-55 of that step
span() { echo $((($1 * 60 + 5) * frame)) $((($1 * 60 + 55) * frame)); }
segment() { "$measure" sound.wav segment $(span "$1"); }
hz() { awk -v n="$1" -v c=$clock 'BEGIN { printf "%.4f", c / (32 * n) }'; }
cents() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", 1200 * log(a / b) / log(2) }'; }

# The header as libsndfile reads it: players take the rate from there.
# Some players go by the byte rate and block size instead: they must agree.
"$python" -c 'import soundfile, struct, sys
info = soundfile.info(sys.argv[1])
fmt = open(sys.argv[1], "rb").read(36)[20:36]
tag, channels, rate, byte_rate, block, bits = struct.unpack("<HHIIHH", fmt)
agree = byte_rate == rate * block and block == channels * bits // 8
print("wav", info.format, info.subtype, info.samplerate, info.channels, info.frames, "agree" if agree else "disagree")' \
    sound.wav >header.txt
cat header.txt
check "a 16-bit stereo WAV at 44100 Hz holding every frame" \
    "\"$(cat header.txt)\" == \"wav WAV PCM_16 44100 2 $((frames * frame)) agree\""

echo "period  Hz-wanted  Hz-played  cents"
step=0
for period in 16 31 64 100 127 200 254 383 511 512 700 1000 1023; do
    wanted=$(hz $period)
    played=$(segment $step | value peak-hz)
    error=$(cents "$played" "$wanted")
    echo "$period $wanted $played $error"
    check "period $period within 3 cents" "$error < 3 && $error > -3"
    step=$((step + 1))
done

before=$(segment 13)
alone=$(segment 14)
check "a latch byte alone sets the period's low bits at once" \
    "$(echo "$alone" | value peak-hz) > $(hz 240) * 0.999 && $(echo "$alone" | value peak-hz) < $(hz 240) * 1.001"
data=$(segment 15)
check "a data byte after a volume latch sets the volume, not the period" \
    "$(echo "$data" | value peak-hz) > $(hz 240) * 0.999 && $(echo "$data" | value peak-hz) < $(hz 240) * 1.001 && \
     $(echo "$data" | value rms-left) / $(echo "$alone" | value rms-left) > 81 / 255 * 0.97 && \
     $(echo "$data" | value rms-left) / $(echo "$alone" | value rms-left) < 81 / 255 * 1.03 && \
     $(echo "$before" | value rms-left) > 0"

# Periodic noise: a pulse every 16 shifts.
periodic=$(segment 16 | value peak-hz)
echo "periodic noise $periodic Hz"
check "a data byte after the noise latch chooses periodic noise at the clock / 8192" \
    "$periodic > $clock / 8192 * 0.99 && $periodic < $clock / 8192 * 1.01"
from_tone=$(segment 17 | value peak-hz)
echo "periodic noise from tone 2: $from_tone Hz"
check "periodic noise shifted by tone 2 at a sixteenth of its pitch" \
    "$from_tone > $(hz 1600) * 0.99 && $from_tone < $(hz 1600) * 1.01"

repeat=$("$measure" sound.wav repeat $(((18 * 60 + 2) * frame)) $(((21 * 60 - 2) * frame)) | value repeat)
echo "white noise: strongest self-correlation within 1.4 s: $repeat"
check "white noise does not repeat within a second" "$repeat < 0.2"

for step_period in 21:254 22:28; do
    step=${step_period%:*}
    period=${step_period#*:}
    off=$("$measure" sound.wav harmonics $(span "$step") "$(hz "$period")" | value off-harmonic-db)
    echo "period $period ($(hz "$period") Hz): power off the harmonics $off dB"
    check "period $period band-limited: below -40 dB off its harmonics" "$off < -40"
done
check "bit 6 of a data byte does nothing: period 3FEh" \
    "$(segment 23 | value peak-hz) > $(hz 1022) * 0.999 && $(segment 23 | value peak-hz) < $(hz 1022) * 1.001"

# Game Gear stereo: tones 0-2 at periods 200, 150 and 110 and periodic noise
# (109 Hz) all at full volume; each byte's channels on their sides as loud as
# on both, the others silent there, and no sample clipped.
level() { "$measure" sound.wav level $(span "$1") "$2"; }
signatures="$(hz 200) $(hz 150) $(hz 110) $(awk -v c=$clock 'BEGIN { print c / 32768 }')"
stereo_step=24
for byte in 255 15 240 16; do
    channel=0
    for signature in $signatures; do
        both=$(level 24 "$signature")
        now=$(level $stereo_step "$signature")
        for side in left right; do
            if [ $side = left ]; then bit=$((channel + 4)); else bit=$channel; fi
            reference=$(echo "$both" | value level-$side)
            heard=$(echo "$now" | value level-$side)
            if [ $(((byte >> bit) & 1)) -eq 1 ]; then
                check "stereo byte $byte: channel $channel on the $side as loud as on both sides" \
                    "$heard / $reference > 0.98 && $heard / $reference < 1.02"
            else
                check "stereo byte $byte: channel $channel not on the $side" "$heard < $reference / 1000"
            fi
        done
        channel=$((channel + 1))
    done
    check "stereo byte $byte: no sample clipped" "$(segment $stereo_step | value clipped) == 0"
    stereo_step=$((stereo_step + 1))
done
# A trill whose every other latch byte passes an octave above: the phase
# runs on over the switches as over any change of pitch.
jump=$("$measure" sound.wav phase $((28 * 60 * frame + 2 * frame)) $((30 * 60 * frame - 2 * frame)) $frame | value phase-jump)
echo "largest phase jump at a frame edge in the trill: $jump degrees"
check "no phase jump at the octave switches beyond 10 degrees" "$jump < 10"

# The chip's channels share its output levels: white noise swings as far as
# a square wave whose fundamental is the tone's (that times pi / 4), and
# periodic noise's fundamental is sin(pi / 16) of a square wave's.
tone=$(level 21 "$(hz 254)" | value level-left)
"$measure" sound.wav noise $(((18 * 60 + 2) * frame)) $(((21 * 60 - 2) * frame)) \
    "$(awk -v c=$clock 'BEGIN { print c / 512 }')" "$(awk -v t="$tone" 'BEGIN { print t * atan2(1, 1) }')" >noise.txt
cat noise.txt
check "white noise within 2 dB of the chip's in every octave band" \
    "$(value worst-band-db <noise.txt) < 2 && $(value worst-band-db <noise.txt) > -2"
check "white noise as loud as the chip's, within 1 dB" "$(value level-db <noise.txt) < 1 && $(value level-db <noise.txt) > -1"
check "white noise without a constant part" "$(segment 19 | value dc) < 0.005 && $(segment 19 | value dc) > -0.005"
ratio=$(level 16 "$(awk -v c=$clock 'BEGIN { print c / 8192 }')" | value level-left)
ratio=$(awk -v p="$ratio" -v t="$tone" 'BEGIN { print 20 * log(p / t / sin(atan2(1, 1) / 4)) / log(10) }')
echo "periodic noise level against the chip's: $ratio dB"
check "periodic noise's level within 1 dB of the chip's" "$ratio < 1 && $ratio > -1"
for step_period in 30:1 31:2 32:3; do
    step=${step_period%:*}
    period=${step_period#*:}
    played=$(segment "$step" | value peak-hz)
    echo "periodic noise from tone 2 at period $period: $played Hz"
    check "tone 2 at period $period shifts periodic noise at a sixteenth of its pitch" \
        "$played > $(hz "$period") / 16 * 0.999 && $played < $(hz "$period") / 16 * 1.001"
done
[ $status -eq 0 ] && echo "all sound measurements passed"
exit $status
