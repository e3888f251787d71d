use strict;
use warnings;

my %totals;
my @files = qw(jan.log feb.log);

foreach my $file (@files) {
    open(my $fh, '<', $file) or die "cannot open $file: $!";
    while (my $line = <$fh>) {
        chomp $line;
        next unless $line =~ /^(\w+)\s+(\d+)$/;
        $totals{$1} += $2;
    }
    close($fh);
}

print "$_: $totals{$_}\n" for sort keys %totals;
