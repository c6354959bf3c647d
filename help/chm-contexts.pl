#!/usr/bin/perl
# Gives the help contexts of a CHM written by chmcmd their in-file targets.
#
#   chm-contexts.pl FILE.chm PROJECT_DIR STRINGS IVB
#
# chmcmd 3.2.2 stores the target of each [ALIAS] context as the page's
# absolute path on the build machine ("/build/help/aktiv.html") instead of its
# path inside the help file ("/aktiv.html"), so the viewer finds no page for
# the context. The context table (#IVB: size, then context number and offset
# into #STRINGS per entry) and the string table (#STRINGS) lie compressed in
# the file; STRINGS and IVB are their contents as "chmls extract" wrote them.
#
# This script appends to the file a string table with the corrected targets
# (the old one followed by the new strings, so every other offset into it stays
# valid) and a context table pointing at them, both uncompressed (content
# section 0), and points the two directory entries at them. Everything else in
# the file stays as chmcmd wrote it.
use strict;
use warnings;

die "usage: chm-contexts.pl FILE.chm PROJECT_DIR STRINGS IVB\n" unless @ARGV == 4;
my ($chm, $projectDir, $stringsFile, $ivbFile) = @ARGV;
$projectDir =~ s{/*$}{/};

sub slurp {
    my ($name) = @_;
    open(my $f, '<:raw', $name) or die "chm-contexts: cannot read $name: $!\n";
    local $/;
    my $data = <$f>;
    close $f;
    return $data;
}

my $file = slurp($chm);
my $strings = slurp($stringsFile);
my $ivb = slurp($ivbFile);

die "chm-contexts: $chm is not a CHM file\n" unless substr($file, 0, 4) eq 'ITSF';
die "chm-contexts: $chm: only version 3 headers are handled\n"
    unless unpack('V', substr($file, 4, 4)) == 3;
my ($hs0Offset, undef, $dirOffset, undef, $content0) = unpack('Q<5', substr($file, 0x38, 40));

# --- The corrected tables ------------------------------------------------------

my $ivbSize = unpack('V', substr($ivb, 0, 4));
die "chm-contexts: the context table is cut short\n" if length($ivb) < 4 + $ivbSize;
my $newStrings = $strings;
my $newIvb = pack('V', $ivbSize);
my $fixed = 0;
for (my $p = 4; $p < 4 + $ivbSize; $p += 8) {
    my ($context, $offset) = unpack('VV', substr($ivb, $p, 8));
    my $end = index($strings, "\0", $offset);
    die "chm-contexts: context $context points outside the string table\n" if $end < 0;
    my $target = substr($strings, $offset, $end - $offset);
    if (substr($target, 0, length $projectDir) eq $projectDir) {
        $target = '/' . substr($target, length $projectDir);
        $offset = length $newStrings;
        $newStrings .= $target . "\0";
        ++$fixed;
    }
    $newIvb .= pack('VV', $context, $offset);
}
die "chm-contexts: no context target lies under $projectDir\n" unless $fixed;

# Both tables go to the end of the file, in content section 0.
my %moved;
$moved{'/#STRINGS'} = [length($file) - $content0, length $newStrings];
$file .= $newStrings;
$moved{'/#IVB'} = [length($file) - $content0, length $newIvb];
$file .= $newIvb;

# --- The directory ---------------------------------------------------------------

sub readEncInt {
    my ($data, $pos) = @_;
    my $value = 0;
    while (1) {
        my $byte = ord(substr($data, $$pos++, 1));
        $value = ($value << 7) | ($byte & 0x7f);
        return $value unless $byte & 0x80;
    }
}

sub encInt {
    my ($value) = @_;
    my @bytes = ($value & 0x7f);
    while ($value >>= 7) { unshift @bytes, 0x80 | ($value & 0x7f) }
    return pack('C*', @bytes);
}

my ($itsp, undef, undef, undef, $chunkSize, $density, undef, undef, undef, undef, undef,
    $chunkCount) = unpack('a4V11', substr($file, $dirOffset, 0x30));
die "chm-contexts: no directory header\n" unless $itsp eq 'ITSP';
my $firstChunk = $dirOffset + 0x54;
my $found = 0;

for my $c (0 .. $chunkCount - 1) {
    my $at = $firstChunk + $c * $chunkSize;
    my $chunk = substr($file, $at, $chunkSize);
    next unless substr($chunk, 0, 4) eq 'PMGL';
    my $count = unpack('v', substr($chunk, $chunkSize - 2, 2));

    # The entries, and which of them the quick-reference table points at
    # (kept as chmcmd chose them).
    my (@entries, %indexAt);
    my $pos = 0x14;
    for my $i (0 .. $count - 1) {
        $indexAt{$pos - 0x14} = $i;
        my $nameLength = readEncInt($chunk, \$pos);
        my $name = substr($chunk, $pos, $nameLength);
        $pos += $nameLength;
        my $section = readEncInt($chunk, \$pos);
        my $offset = readEncInt($chunk, \$pos);
        my $length = readEncInt($chunk, \$pos);
        push @entries, [$name, $section, $offset, $length];
    }
    my $quickCount = int($count / (1 + (1 << $density)));
    my @quickIndex;
    for my $k (1 .. $quickCount) {
        my $offset = unpack('v', substr($chunk, $chunkSize - 2 - 2 * $k, 2));
        die "chm-contexts: quick reference $k points at no entry\n" unless exists $indexAt{$offset};
        push @quickIndex, $indexAt{$offset};
    }

    my $changed = 0;
    for my $e (@entries) {
        next unless $moved{$e->[0]};
        ($e->[1], $e->[2], $e->[3]) = (0, @{$moved{$e->[0]}});
        ++$changed;
    }
    next unless $changed;
    $found += $changed;

    my $body = '';
    my @offsetOf;
    for my $e (@entries) {
        push @offsetOf, length $body;
        $body .= encInt(length $e->[0]) . $e->[0] . encInt($e->[1]) . encInt($e->[2]) . encInt($e->[3]);
    }
    my $quick = '';
    $quick = pack('v', $offsetOf[$_]) . $quick for @quickIndex;
    $quick .= pack('v', $count);
    my $room = $chunkSize - 0x14 - length($body) - length($quick);
    die "chm-contexts: directory chunk $c overflows\n" if $room < 0;
    my $newChunk = 'PMGL' . pack('V', $chunkSize - 0x14 - length $body) . substr($chunk, 8, 12) .
                   $body . ("\0" x $room) . $quick;
    substr($file, $at, $chunkSize) = $newChunk;
}
die "chm-contexts: $chm lacks /#IVB or /#STRINGS\n" unless $found == 2;

# The file's length in header section 0.
substr($file, $hs0Offset + 8, 8) = pack('Q<', length $file);

open(my $out, '>:raw', "$chm.tmp") or die "chm-contexts: cannot write $chm.tmp: $!\n";
print $out $file or die "chm-contexts: cannot write $chm.tmp: $!\n";
close $out or die "chm-contexts: cannot write $chm.tmp: $!\n";
rename("$chm.tmp", $chm) or die "chm-contexts: cannot replace $chm: $!\n";
print "chm-contexts: $fixed context target(s) of $chm point into the file\n";
