#!/usr/bin/env bash
# Draws the program's icon app/Quarvelin.ico: the clock with the green start
# arrow that the program draws for its tray (ui/main/Images.cpp), on a
# transparent ground, at 16, 32 and 48 pixels. Each size comes twice: with 256
# colours and a transparency mask, which every Windows shows, and with 32-bit
# colour and soft edges, which Windows XP and later prefer.
#   bash scripts/make-icon.sh [output.ico]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/app/Quarvelin.ico}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The design is in 32-pixel units, drawn eight times larger and scaled down.
s=8
p() { echo "$(( $1 * s )),$(( $2 * s ))"; }
convert -size $((32 * s))x$((32 * s)) xc:none \
  -fill 'rgb(255,255,240)' -stroke 'rgb(0,64,160)' -strokewidth $((2 * s)) \
  -draw "circle $(p 15 15) $(p 15 3)" \
  -stroke 'rgb(0,64,160)' -strokewidth $((3 * s / 2)) \
  -draw "line $(p 15 5) $(p 15 8)" -draw "line $(p 25 15) $(p 22 15)" \
  -draw "line $(p 15 25) $(p 15 22)" -draw "line $(p 5 15) $(p 8 15)" \
  -stroke black -strokewidth $((2 * s)) \
  -draw "stroke-linecap round line $(p 15 15) $(p 15 8)" \
  -draw "stroke-linecap round line $(p 15 15) $(p 20 18)" \
  -fill 'rgb(0,150,40)' -stroke 'rgb(0,90,20)' -strokewidth $s \
  -draw "stroke-linejoin round polygon $(p 20 19) $(p 20 30) $(p 30 24)" \
  "$tmp/master.png"

# Per size: soft RGBA pixels, and the same reduced to 255 colours with hard edges.
for size in 16 32 48; do
  convert "$tmp/master.png" -filter Triangle -resize ${size}x${size} \
    -channel A -fx 'a < 0.06 ? 0 : a' +channel -depth 8 "rgba:$tmp/soft$size"
  convert -size ${size}x${size} -depth 8 "rgba:$tmp/soft$size" \
    -channel A -threshold 50% +channel -background black -alpha background \
    -colors 255 -depth 8 "rgba:$tmp/hard$size"
done

# Writes the icon file: one directory entry and one bottom-up DIB per image.
perl - "$tmp" "$out" <<'PERL'
use strict;
use warnings;
my ($tmp, $out) = @ARGV;
sub slurp { open(my $f, '<:raw', $_[0]) or die "$_[0]: $!"; local $/; <$f> }
sub rowPad { my ($bytes) = @_; (($bytes + 3) & ~3) - $bytes }

# The AND mask: 1 where the pixel is transparent.
sub mask {
    my ($rgba, $size) = @_;
    my $m = '';
    for my $y (reverse 0 .. $size - 1) {
        my $bits = '';
        for my $x (0 .. $size - 1) {
            $bits .= ord(substr($rgba, ($y * $size + $x) * 4 + 3, 1)) < 128 ? '1' : '0';
        }
        my $row = pack('B*', $bits);
        $m .= $row . ("\0" x rowPad(length $row));
    }
    return $m;
}

sub dib32 {
    my ($rgba, $size) = @_;
    my $bits = '';
    for my $y (reverse 0 .. $size - 1) {
        for my $x (0 .. $size - 1) {
            my ($r, $g, $b, $a) = unpack('C4', substr($rgba, ($y * $size + $x) * 4, 4));
            $bits .= pack('C4', $b, $g, $r, $a);
        }
    }
    return pack('VVVvvVVVVVV', 40, $size, 2 * $size, 1, 32, 0, 0, 0, 0, 0, 0) .
           $bits . mask($rgba, $size);
}

sub dib8 {
    my ($rgba, $size) = @_;
    my (%index, @palette);
    my $bits = '';
    for my $y (reverse 0 .. $size - 1) {
        my $row = '';
        for my $x (0 .. $size - 1) {
            my ($r, $g, $b, $a) = unpack('C4', substr($rgba, ($y * $size + $x) * 4, 4));
            ($r, $g, $b) = (0, 0, 0) if $a < 128;
            my $key = pack('C3', $b, $g, $r);
            unless (exists $index{$key}) { $index{$key} = @palette; push @palette, $key }
            $row .= chr($index{$key});
        }
        $bits .= $row . ("\0" x rowPad(length $row));
    }
    die "more than 256 colours at $size pixels\n" if @palette > 256;
    push @palette, "\0\0\0" while @palette < 256;
    return pack('VVVvvVVVVVV', 40, $size, 2 * $size, 1, 8, 0, 0, 0, 0, 256, 0) .
           join('', map { $_ . "\0" } @palette) . $bits . mask($rgba, $size);
}

my @images;
for my $size (16, 32, 48) {
    push @images, [$size, 8, dib8(slurp("$tmp/hard$size"), $size)];
}
for my $size (16, 32, 48) {
    push @images, [$size, 32, dib32(slurp("$tmp/soft$size"), $size)];
}
my $offset = 6 + 16 * @images;
my $dir = pack('vvv', 0, 1, scalar @images);
my $data = '';
for my $i (@images) {
    my ($size, $bpp, $dib) = @$i;
    $dir .= pack('CCCCvvVV', $size, $size, 0, 0, 1, $bpp, length $dib, $offset + length $data);
    $data .= $dib;
}
open(my $f, '>:raw', $out) or die "$out: $!";
print $f $dir, $data;
close $f or die "$out: $!";
PERL
identify "$out"
