#!/usr/bin/perl
# Lists the first customers of the sample database with Perl DBI and DBD::ODBC
# (Debian: libdbd-odbc-perl).
#
# Usage: perl customers.pl "DSN=KestrionSample;UID=demo;PWD=demo" [LIMIT]
use strict;
use warnings;
use DBI;

my $connection_string = shift // 'DSN=KestrionSample';
my $limit = shift // 5;

my $dbh = DBI->connect("dbi:ODBC:$connection_string", undef, undef,
                       { RaiseError => 1, PrintError => 0, AutoCommit => 1 })
  or die "connect failed: $DBI::errstr\n";

my $sth = $dbh->prepare('SELECT id, name, email FROM customers WHERE id <= ? ORDER BY id');
$sth->execute($limit);
while (my ($id, $name, $email) = $sth->fetchrow_array) {
  printf "%3d  %-14s %s\n", $id, $name, $email // '(no e-mail)';
}
my ($orders) = $dbh->selectrow_array('SELECT COUNT(*) FROM orders');
print "orders: $orders\n";
$dbh->disconnect;
