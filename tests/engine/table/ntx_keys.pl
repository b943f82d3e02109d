# Prints every key of an NTX file with its record number, one "key<TAB>recno" per line,
# read by XBase::Index (an independent reader of the format).
use strict; use warnings;
use XBase::Index;
my $index = new XBase::ntx($ARGV[0], "type" => "char") or die XBase::Index->errstr;
$index->prepare_select;
while (my ($key, $val) = $index->fetch) { print "$key\t$val\n"; }
