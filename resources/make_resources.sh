#!/usr/bin/env bash
# Regenerates Velkaro's artwork, sounds and demo site plan from drawing
# primitives: ImageMagick 6 (convert) for the pictures, sox for the waves,
# Liberation Sans for every text. Run it at development time and commit what
# it writes; the build only embeds the results (velkaro.qrc).
#
#   bash resources/make_resources.sh
#
# The output is the same on every run: no time stamps go into the PNG files
# and sox's noise generator is seeded (-R).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cd "$here"

for tool in convert identify sox fc-match; do
  command -v "$tool" >/dev/null || { echo "make_resources: $tool is missing" >&2; exit 1; }
done
FONT=$(fc-match -f '%{file}' 'Liberation Sans')
BOLD=$(fc-match -f '%{file}' 'Liberation Sans:bold')
case "$FONT" in *Liberation*) ;; *) echo "make_resources: Liberation Sans not found (fonts-liberation2)" >&2; exit 1 ;; esac

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The 16 colours of a 4-bit palette: the classic VGA set, so the buttons and
# the reticle get exactly the colours they were drawn in.
# Colours are given as numbers throughout: ImageMagick's names for some of
# them (grey, maroon, purple) are not the VGA values.
vga16=("#000000" "#800000" "#008000" "#808000" "#000080" "#800080" "#008080" "#c0c0c0"
  "#808080" "#ff0000" "#00ff00" "#ffff00" "#0000ff" "#ff00ff" "#00ffff" "#ffffff")
convert -size 1x1 "${vga16[@]/#/xc:}" +append "$tmp/vga16.png"

# A picture reduced to the 16 colours, written as a 4-bit BMP.
to_bmp4() { convert "$1" +dither -remap "$tmp/vga16.png" -type Palette -compress none "BMP3:$2"; }

# ---------------------------------------------------------------------------
# Toolbar buttons. Each button is drawn on a 30 x 30 design grid and scaled
# to the button size, without anti-aliasing so edges stay crisp at 16 pixels.
button() {  # size name primitives...
  local size=$1 name=$2
  shift 2
  local k
  k=$(awk -v s="$size" 'BEGIN { printf "%.6f", s / 30 }')
  convert -size "${size}x${size}" xc:"#c0c0c0" +antialias \
    -draw "affine $k,0,0,$k,0,0 $*" "$tmp/$name-$size.png"
}

toolbar() {  # size output
  local s=$1
  button "$s" 1new "fill '#ffffff' stroke '#000000' stroke-width 1.6 polygon 6,2 18,2 24,8 24,27 6,27
    fill none polyline 18,2 18,8 24,8
    stroke '#0000ff' stroke-width 3.2 line 12,20 24,20 line 18,14 18,26"
  button "$s" 2open "fill '#808000' stroke '#000000' stroke-width 1.6 polygon 2,7 10,7 13,10 25,10 25,26 2,26
    fill '#ffff00' polygon 2,26 7,14 29,14 25,26"
  button "$s" 3save "fill '#000080' stroke '#000000' stroke-width 1.6 polygon 3,3 25,3 27,5 27,27 3,27
    fill '#c0c0c0' stroke-width 1 rectangle 8,3 21,11 fill '#000080' stroke none rectangle 16,4 19,10
    fill '#ffffff' stroke '#000000' stroke-width 1 rectangle 7,15 23,27
    stroke '#808080' line 9,19 21,19 line 9,23 21,23"
  button "$s" 4zoomin "stroke '#800000' stroke-width 5 line 18,18 27,27
    fill '#ffffff' stroke '#000000' stroke-width 2.4 circle 12,12 12,3
    stroke-width 2.6 line 7,12 17,12 line 12,7 12,17"
  button "$s" 5zoomout "stroke '#800000' stroke-width 5 line 18,18 27,27
    fill '#ffffff' stroke '#000000' stroke-width 2.4 circle 12,12 12,3
    stroke-width 2.6 line 7,12 17,12"
  button "$s" 6list "fill '#ffffff' stroke '#000000' stroke-width 1.6 rectangle 4,2 26,28
    fill '#ff0000' stroke none circle 9,8 9,5.6 circle 9,15 9,12.6 circle 9,22 9,19.6
    stroke '#000000' stroke-width 2.2 line 13,8 23,8 line 13,15 23,15 line 13,22 23,22"
  button "$s" 7camera "fill '#000000' stroke none rectangle 9,5 18,9
    fill '#808080' stroke '#000000' stroke-width 1.6 roundrectangle 2,8 28,26 3,3
    fill '#000080' stroke '#ffffff' stroke-width 2 circle 15,17 15,11
    fill '#ffff00' stroke '#000000' stroke-width 1 rectangle 21,10 26,13"
  button "$s" 8about "fill '#0000ff' stroke '#000080' stroke-width 1.4 circle 15,15 15,2
    fill '#ffffff' stroke none circle 15,7 15,4.4 rectangle 12.5,13 17.5,24.5
    rectangle 10.5,22 19.5,24.5"
  convert "$tmp"/1new-"$s".png "$tmp"/2open-"$s".png "$tmp"/3save-"$s".png \
    "$tmp"/4zoomin-"$s".png "$tmp"/5zoomout-"$s".png "$tmp"/6list-"$s".png \
    "$tmp"/7camera-"$s".png "$tmp"/8about-"$s".png +append "$tmp/toolbar$s.png"
  to_bmp4 "$tmp/toolbar$s.png" "$2"
}

toolbar 16 toolbar16.bmp
toolbar 30 toolbar30.bmp

# ---------------------------------------------------------------------------
# Reticle (bitmap 132), 32 x 32 in 16 colours. The site view ANDs it onto the
# plan, so white is "leave the plan alone". The ring is set pixel by pixel:
# every pixel whose centre lies more than 10 and at most 15 pixels from the
# picture's centre (16, 16), which makes it 30 pixels across and 5 thick.
# In each diagonal a 4 x 4 X sits just inside the ring, with a dot on the way
# to the white centre.
reticle_points() {
  awk 'BEGIN {
    for (y = 0; y < 32; y++) for (x = 0; x < 32; x++) {
      dx = x + 0.5 - 16; dy = y + 0.5 - 16; d = sqrt(dx * dx + dy * dy)
      if (d > 10 && d <= 15) printf "fill #008080 point %d,%d\n", x, y
    }
    # the X: both diagonals of a 4 x 4 square, mirrored into all four quadrants
    for (k = 0; k < 4; k++) {
      a = 9 + k; b = 12 - k
      printf "fill #000000 point %d,%d point %d,%d point %d,%d point %d,%d\n", a, a, 31 - a, a, a, 31 - a, 31 - a, 31 - a
      printf "fill #000000 point %d,%d point %d,%d point %d,%d point %d,%d\n", a, b, 31 - b, a, b, 31 - a, 31 - b, 31 - a
    }
    printf "fill #000000 point 14,14 point 17,14 point 14,17 point 17,17\n"
  }'
}
convert -size 32x32 xc:"#ffffff" +antialias -draw "$(reticle_points)" "$tmp/reticle.png"
to_bmp4 "$tmp/reticle.png" reticle.bmp

# ---------------------------------------------------------------------------
# Quick-start picture (bitmap 137), 240 x 265 in 256 colours: white text on
# black, shown instead of the plan until one is loaded. The palette is a
# fixed ramp of 256 greys so the file is 8 bits per pixel whatever the text's
# anti-aliasing happens to use.
convert -size 256x1 gradient:"#000000-#ffffff" "$tmp/grey256.png"
quickstart_text() {
  local y=46
  while IFS= read -r line; do
    case "$line" in
      [1-6].*) y=$((y + 6)); printf " text 10,%d '%s'" "$y" "${line%% *}"; printf " text 26,%d '%s'" "$y" "${line#* }" ;;
      *) printf " text 26,%d '%s'" "$y" "$line" ;;
    esac
    y=$((y + 16))
  done <<'STEPS'
1. Connect to the board.
2. Open an image file with the
first button.
3. Wait for GPS lock.
4. Walk or drive to known
locations.
5. Tap the known position on
the map.
6. Save the file after the
message that the geocode
was successful.
STEPS
}
convert -size 240x265 xc:"#000000" -fill "#ffffff" \
  -font "$BOLD" -pointsize 19 -gravity north -annotate +0+12 "Quick Start" \
  -stroke "#ffffff" -strokewidth 1 -draw "line 20,42 220,42" -stroke none \
  -gravity northwest -font "$FONT" -pointsize 13 -draw "$(quickstart_text)" \
  +dither -remap "$tmp/grey256.png" -type Palette -compress none "BMP3:quickstart.bmp"

# ---------------------------------------------------------------------------
# Title picture (bitmap 131), 240 x 265, 24 bits: the name over fields and
# roads seen from above, with a globe, and the slogan at the bottom. The
# status view writes the firmware line at row 142 and the serial line at row
# 170, black on white, so rows 124 to 190 are one calm pale meadow.
fields="fill '#7fa650' polygon 0,0 95,0 70,60 0,75
  fill '#c9b45a' polygon 95,0 240,0 240,40 150,55 70,60
  fill '#5f8f3e' polygon 0,75 70,60 85,124 0,124
  fill '#a8c060' polygon 70,60 150,55 165,124 85,124
  fill '#d8c878' polygon 150,55 240,40 240,124 165,124
  fill '#8fb85a' polygon 0,190 110,190 95,240 0,240
  fill '#c2a860' polygon 110,190 240,190 240,240 95,240
  fill '#6e9a48' polygon 150,200 240,196 240,240 170,240
  stroke '#b89a50' stroke-width 1 fill none
  line 10,10 60,4 line 12,20 58,14 line 12,30 55,24 line 10,40 52,34
  line 100,8 150,6 line 104,18 160,15 line 108,28 170,26 line 112,38 175,38
  line 120,200 210,198 line 118,210 220,209 line 114,220 230,220 line 110,230 236,230
  stroke '#4e7a30' stroke-width 1
  line 5,90 70,85 line 5,100 75,96 line 5,110 78,107 line 5,120 80,118
  stroke none fill '#3d6b2a' circle 30,55 30,50 circle 40,52 40,48 circle 120,98 120,93
  circle 130,102 130,98 circle 60,205 60,200 circle 72,210 72,206"
roads="stroke '#707070' stroke-width 7 fill none
  line 70,60 95,0 line 70,60 85,124 line 0,75 70,60 line 70,60 150,55 line 150,55 240,40
  line 110,190 95,240
  stroke '#f0f0f0' stroke-width 1 stroke-dasharray 4,4
  line 70,60 95,0 line 70,60 85,124 line 0,75 70,60 line 70,60 150,55 line 150,55 240,40
  line 110,190 95,240"
globe="fill '#2060b0' stroke '#0c2c60' stroke-width 2 circle 190,80 190,42
  fill '#4f9a40' stroke none polygon 170,55 188,50 196,62 186,74 172,70
  polygon 198,84 214,78 222,92 212,108 200,100 polygon 162,88 176,92 172,106 160,100
  stroke '#d8e8ff' stroke-width 1 fill none ellipse 190,80 38,38 0,360 ellipse 190,80 20,38 0,360
  ellipse 190,80 6,38 0,360 line 152,80 228,80 ellipse 190,80 38,14 0,360"
convert -size 240x265 xc:"#90b060" -draw "$fields" -draw "$roads" -draw "$globe" \
  -fill "#e6edd2" -stroke none -draw "rectangle 0,124 240,190" \
  -stroke "#b8c8a0" -strokewidth 1 -draw "line 0,124 240,124 line 0,190 240,190" -stroke none \
  -fill "#1a2a50" -draw "rectangle 0,240 240,265" \
  -font "$BOLD" -pointsize 40 -fill "#ffffff" -stroke "#102040" -strokewidth 2 \
  -gravity northwest -annotate +10+8 "Velkaro" -stroke none -annotate +10+8 "Velkaro" \
  -font "$FONT" -pointsize 13 -fill "#ffffff" -gravity south -annotate +0+5 \
  "Geo-reference your site plan" \
  -type TrueColor -compress none "BMP3:title.bmp"

# ---------------------------------------------------------------------------
# Application icon: a site plan sheet with a location pin, on a 64 x 64
# design grid, written at 32 and 64 pixels.
icon() {  # size output
  local k
  k=$(awk -v s="$1" 'BEGIN { printf "%.6f", s / 64 }')
  convert -size "$1x$1" xc:none -draw "affine $k,0,0,$k,0,0
    fill '#1f5fa8' stroke '#0c2c60' stroke-width 2 roundrectangle 2,2 62,62 10,10
    fill '#f4f1e0' stroke none polygon 10,14 54,10 54,52 10,56
    stroke '#7fa650' stroke-width 5 line 10,40 54,34
    stroke '#909090' stroke-width 3 line 26,12 30,54 line 10,26 54,22
    stroke '#b02020' stroke-width 2 fill '#e03030'
    path 'M 40,38 C 30,26 28,20 32,14 C 36,8 44,8 48,14 C 52,20 50,26 40,38 Z'
    fill '#ffffff' stroke none circle 40,19 40,15.5" \
    -strip -define png:exclude-chunk=date,time "PNG32:$2"
}
icon 32 icon.png
icon 64 icon64.png

# ---------------------------------------------------------------------------
# Waves: 16-bit PCM, mono, 22050 Hz. -R seeds sox's noise so runs repeat.
wav=(-R -r 22050 -b 16 -e signed-integer -c 1)
# CAMERA: a shutter, two short filtered clicks (opening, closing), 0.3 s.
sox "${wav[@]}" -n "$tmp/click1.wav" synth 0.018 whitenoise gain -8 highpass 1500 fade q 0.001 0.018 0.014
sox "${wav[@]}" -n "$tmp/gap.wav" trim 0 0.07
sox "${wav[@]}" -n "$tmp/click2.wav" synth 0.03 brownnoise lowpass 3000 fade q 0.001 0.03 0.025 gain -2
sox "${wav[@]}" "$tmp/click1.wav" "$tmp/gap.wav" "$tmp/click2.wav" camera.wav pad 0 0.182 norm -3
# PING: a bell, a high partial over its octave, dying away in 0.3 s.
sox "${wav[@]}" -n "$tmp/ping1.wav" synth 0.3 sine 1568 fade l 0.003 0.3 0.29
sox "${wav[@]}" -n "$tmp/ping2.wav" synth 0.3 sine 3136 fade l 0.002 0.3 0.29 gain -9
sox "${wav[@]}" -m "$tmp/ping1.wav" "$tmp/ping2.wav" ping.wav norm -4
# WHOOSH: noise whose band sweeps up then falls away, 0.5 s in five pieces.
for f in 300 600 1200 2400 4000; do
  sox "${wav[@]}" -n "$tmp/whoosh$f.wav" synth 0.1 pinknoise bandpass "$f" 1.5q
done
sox "${wav[@]}" "$tmp"/whoosh{300,600,1200,2400,4000}.wav whoosh.wav fade h 0.2 0.5 0.25 norm -6
# REDALERT: an alarm, two rising sweeps with a little grit, 1 s.
sox "${wav[@]}" -n redalert.wav synth 0.5 sine 550:1150 overdrive 6 gain -6 lowpass 5000 repeat 1 \
  fade t 0.005 1 0.01 norm -4

# ---------------------------------------------------------------------------
# Demo site plan: a small campus from above, 720 x 540, 24 bits. Its geocode
# and the landmarks the simulated walk visits are the demo site's
# (demo/site.csv); each landmark is marked by a red ring and cross centred
# exactly on its pixel.
mapfile -t landmarks < <(awk -F, '$1 == "landmark" { print $3 " " $4 }' demo/site.csv)

ground="fill '#6a6a6a' rectangle 0,492 720,540
  fill '#c8c8c8' rectangle 0,483 720,491
  push graphic-context stroke '#f4f4f4' stroke-width 2 stroke-dasharray 14,10
  line 0,516 720,516 pop graphic-context
  fill '#7b5a44' rectangle 0,477 45,482 rectangle 75,477 720,482
  fill '#505050' rectangle 39,473 46,487 rectangle 74,473 81,487
  fill '#2f6a2a' rectangle 0,0 720,5 rectangle 0,0 5,477 rectangle 715,0 720,477
  fill '#858585' rectangle 50,304 70,482 rectangle 50,304 690,322 rectangle 672,96 690,322
  rectangle 500,322 530,372
  fill '#cfcfcf' rectangle 556,90 690,112
  fill '#e2d3a8' rectangle 196,146 204,304 rectangle 214,322 222,360 rectangle 306,322 314,360
  rectangle 340,180 348,236 rectangle 70,392 120,398
  fill '#dcd4c2' circle 360,270 360,234
  stroke '#b8b0a0' stroke-width 1 fill none circle 360,270 360,242 stroke none"

buildings="stroke '#3a3a3a' stroke-width 2
  fill '#a87c56' rectangle 140,48 262,140
  fill '#b4b4bc' rectangle 300,50 440,180
  fill '#b08a60' rectangle 120,360 220,440
  fill '#a8a8b2' rectangle 250,360 380,450
  fill '#9aa6b4' rectangle 520,18 690,90
  stroke none fill '#c49a70' rectangle 150,58 252,130
  fill '#c8c8d0' rectangle 310,60 430,170 fill '#b8c2cc' rectangle 530,28 680,80
  fill '#e8e0cc' rectangle 186,138 214,146
  fill '#d0d0d0' rectangle 588,86 612,92
  fill '#9a7a5a' rectangle 104,286 136,294 fill '#b0d0e0' rectangle 106,288 134,292"

water="stroke '#f2f2f2' stroke-width 3 fill '#4aa0d8' circle 360,270 360,252
  stroke none fill '#8cc8ec' circle 360,270 360,262 fill '#ffffff' circle 360,270 360,266"

carpark="fill '#5a5a5a' rectangle 430,372 620,470
  stroke '#ffffff' stroke-width 1 fill none rectangle 432,374 618,468"
for x in 450 469 488 507 526 545 564 583 602; do
  carpark+=" line $x,374 $x,402 line $x,440 $x,468"
done

field="fill '#73b04e' rectangle 470,130 650,286
  stroke '#ffffff' stroke-width 2 fill none rectangle 482,142 638,274 line 560,142 560,274
  circle 560,208 560,186"

trees="stroke '#24501c' stroke-width 1 fill '#3d7a2e'"
for t in 20,30 40,60 24,110 30,200 18,260 90,230 110,180 100,60 280,230 250,280 420,230 440,280 \
  290,200 455,352 700,140 700,200 700,260 100,520 160,460 240,470 320,470 400,470 \
  680,360 660,420 700,440 30,330 30,400 250,330 400,330 470,330 600,340; do
  x=${t%,*}; y=${t#*,}
  [ "$y" -lt 477 ] || continue
  trees+=" circle $x,$y $((x + 9)),$y"
done

label() {  # x y text: black text on a thin white halo
  printf " stroke '#ffffff' stroke-width 3 text %d,%d '%s' stroke none text %d,%d '%s'" \
    "$1" "$2" "$3" "$1" "$2" "$3"
}
labels="fill '#000000'"
labels+=$(label 86 470 "Main gate")
labels+=$(label 142 296 "Bus stop")
labels+=$(label 208 160 "Library entrance")
labels+=$(label 328 226 "Fountain")
labels+=$(label 614 106 "Sports hall")
labels+=$(label 614 120 "entrance")
labels+=$(label 626 462 "Car park")
labels+=$(label 626 476 "corner")
labels+=$(label 300 510 "Main road")
names="fill '#000000'"
names+=$(label 180 98 "Library")
names+=$(label 336 118 "Lecture hall")
names+=$(label 146 404 "Canteen")
names+=$(label 282 408 "Science labs")
names+=$(label 574 58 "Sports hall")
names+=$(label 500 428 "Car park")
names+=$(label 524 226 "Sports field")

markers="stroke '#d01010' fill none"
for p in "${landmarks[@]}"; do
  x=${p% *}; y=${p#* }
  markers+=" stroke-width 2 circle $x,$y $((x + 6)),$y stroke-width 1
    line $((x - 10)),$y $((x - 3)),$y line $((x + 3)),$y $((x + 10)),$y
    line $x,$((y - 10)) $x,$((y - 3)) line $x,$((y + 3)) $x,$((y + 10))
    fill '#d01010' stroke none point $x,$y stroke '#d01010' fill none"
done

convert -size 720x540 xc:"#9cc878" -draw "$ground" -draw "$field" -draw "$carpark" \
  -draw "$buildings" -draw "$water" -draw "$trees" \
  -font "$BOLD" -pointsize 13 -draw "$names" -font "$FONT" -pointsize 12 -draw "$labels" \
  +antialias -draw "$markers" -type TrueColor -compress none "BMP3:demo/campus.bmp"

# ---------------------------------------------------------------------------
# Every result is checked against what the program expects of it.
fail=0
check_bmp() {  # file width height bits-per-pixel
  local size bits compression
  size=$(identify -format '%wx%h' "$1")
  bits=$(od -An -tu2 -j28 -N2 "$1" | tr -d ' ')
  compression=$(od -An -tu4 -j30 -N4 "$1" | tr -d ' ')
  if [ "$size" != "$2x$3" ] || [ "$bits" != "$4" ] || [ "$compression" != 0 ]; then
    echo "make_resources: $1 is $size, $bits bits, compression $compression; want $2x$3, $4 bits, none" >&2
    fail=1
  fi
}
check_wav() {  # file seconds-at-least seconds-at-most
  local info
  info=$(soxi -r "$1")/$(soxi -c "$1")/$(soxi -b "$1")/$(soxi -e "$1")
  if [ "$info" != "22050/1/16/Signed Integer PCM" ] ||
     ! awk -v d="$(soxi -D "$1")" -v lo="$2" -v hi="$3" 'BEGIN { exit !(d >= lo && d <= hi) }'; then
    echo "make_resources: $1 is $info, $(soxi -D "$1") s" >&2
    fail=1
  fi
}
check_bmp toolbar16.bmp 128 16 4
check_bmp toolbar30.bmp 240 30 4
check_bmp title.bmp 240 265 24
check_bmp reticle.bmp 32 32 4
check_bmp quickstart.bmp 240 265 8
check_bmp demo/campus.bmp 720 540 24
[ "$(identify -format '%wx%h' icon.png)" = 32x32 ] || { echo "make_resources: icon.png size" >&2; fail=1; }
check_wav camera.wav 0.25 0.35
check_wav ping.wav 0.25 0.35
check_wav whoosh.wav 0.45 0.55
check_wav redalert.wav 0.9 1.1
# The reticle's ring: on its middle row, pixels 1 to 5 and 26 to 30 are dark
# cyan and nothing else is; the centre is white.
ring_row=$(convert reticle.bmp -crop 32x1+0+15 +repage txt:- | awk -F'[,:]' '/#008080/ { printf "%s ", $1 }')
centre=$(convert reticle.bmp -format '%[pixel:p{15,15}]%[pixel:p{16,16}]' info:)
if [ "$ring_row" != "1 2 3 4 5 26 27 28 29 30 " ] || [ "$centre" != "srgb(255,255,255)srgb(255,255,255)" ]; then
  echo "make_resources: reticle ring row is '$ring_row', centre $centre" >&2
  fail=1
fi
for p in "${landmarks[@]}"; do
  x=${p% *}; y=${p#* }
  if [ "$(convert demo/campus.bmp -format "%[pixel:p{$x,$y}]" info:)" != "srgb(208,16,16)" ]; then
    echo "make_resources: no landmark mark at $x,$y" >&2
    fail=1
  fi
done
[ "$fail" = 0 ] && echo "make_resources: all resources written and checked"
exit "$fail"
