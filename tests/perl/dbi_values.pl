#!/usr/bin/perl
# Perl DBI (DBD::ODBC) through the Driver Manager: DBI reads every column as
# text, so dates, timestamps, booleans and GUIDs must come in their ODBC text
# forms; names with doubled quotes; a statement of several megabytes.
#
# The driver is registered in a private odbcinst.ini; the development server
# runs with its sample data on a free loopback port.
use strict;
use warnings;
use File::Temp qw(tempdir);
use Time::HiRes qw(sleep time);
use Test::More;
use DBI;

my $driver = $ENV{KESTRION_DRIVER_PATH} or die "KESTRION_DRIVER_PATH is not set\n";
my $server = $ENV{KESTRION_SERVER_PATH} or die "KESTRION_SERVER_PATH is not set\n";

my $dir = tempdir("kestrion-perl-XXXXXX", TMPDIR => 1, CLEANUP => 1);
my $pid = fork() // die "fork: $!";
if ($pid == 0) {
  open(STDOUT, '>', "$dir/server.log");
  open(STDERR, '>&', \*STDOUT);
  exec($server, '--listen', '127.0.0.1:0', '--port-file', "$dir/port", '--sample') or exit(127);
}
my $port = 0;
my $deadline = time() + 20;
while (!$port && time() < $deadline) {
  if (open(my $f, '<', "$dir/port")) { $port = (<$f> // 0) + 0; close($f); }
  sleep(0.05) unless $port;
}
END { if ($pid) { kill('TERM', $pid); waitpid($pid, 0); } }
die "the server did not start\n" unless $port;

open(my $ini, '>', "$dir/odbcinst.ini") or die;
print $ini "[Kestrion]\nDriver=$driver\nUsageCount=1\n";
close($ini);
$ENV{ODBCSYSINI} = $dir;
$ENV{ODBCINI} = "$dir/odbc.ini";

my $dbh = DBI->connect("dbi:ODBC:DRIVER={Kestrion};Server=127.0.0.1;Port=$port;UID=demo;PWD=demo",
                       undef, undef, { RaiseError => 1, PrintError => 0, AutoCommit => 1 });
ok($dbh, 'connected');

subtest 'dates, timestamps and booleans of the sample schema read as ODBC text' => sub {
  dates_and_booleans();
};

sub dates_and_booleans {
  my $rows = $dbh->selectall_arrayref(
      'SELECT o.ordered, c.created, c.vip, o.shipped FROM orders o JOIN customers c ON c.id = o.customer_id '
      . 'WHERE o.id <= 40 ORDER BY o.id');
  is(scalar(@$rows), 40, 'every row fetched');
  for my $r (@$rows) {
    like($r->[0], qr/^\d{4}-\d\d-\d\d( 00:00:00)?$/, "date $r->[0]");
    like($r->[1], qr/^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/, "timestamp $r->[1]");
    like($r->[2], qr/^[01]$/, 'boolean as 1 or 0');
    ok(!defined($r->[3]) || $r->[3] =~ /^[01]$/, 'nullable boolean');
  }
  # Customer 10 is a VIP, customer 1 is not: Perl's truth follows.
  my ($vip, $plain) = $dbh->selectrow_array(
      'SELECT (SELECT vip FROM customers WHERE id = 10), (SELECT vip FROM customers WHERE id = 1)');
  ok($vip && !$plain, 'true and false as Perl sees them');
  my ($created) = $dbh->selectrow_array('SELECT created FROM customers WHERE id = 1');
  is($created, '2024-02-02 01:01:07', 'a timestamp in full, whatever the locale');
  $dbh->do('CREATE TABLE pl_ts (t TIMESTAMP)');
  $dbh->do("INSERT INTO pl_ts VALUES ('2024-03-01 13:45:01.123')");
  my ($fraction) = $dbh->selectrow_array('SELECT t FROM pl_ts');
  is($fraction, '2024-03-01 13:45:01.123', 'milliseconds when there are some');
}

subtest 'GUIDs read as 36 characters' => sub {
  # DBD::ODBC sizes its buffers from the described column size.
  eval { guids(); 1 } or fail("fetch: $@");
};

sub guids {
  my ($token) = $dbh->selectrow_array('SELECT token FROM customers WHERE id = 1');
  like($token, qr/^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$/, "token $token");
  my ($id) = $dbh->selectrow_array('SELECT id FROM customers WHERE token = ?', undef, lc($token));
  is($id, 1, 'found by its text');
}

subtest 'TYPE and PRECISION of every kind' => sub {
  $dbh->do('CREATE TABLE pl_kinds (bo BOOLEAN, ti TINYINT, sm SMALLINT, i INTEGER, bi BIGINT, r REAL, '
           . 'f DOUBLE, d DATE, tm TIME, ts TIMESTAMP, g UUID, v VARCHAR(10), t TEXT, b BLOB)');
  my $long = 'z' x 5000;
  $dbh->do('INSERT INTO pl_kinds (i, v, t, b) VALUES (1, ?, ?, ?)', undef, 'short', $long, "\x01\x02");
  my $sth = $dbh->prepare('SELECT * FROM pl_kinds');
  $sth->execute;
  is_deeply($sth->{TYPE}, [-7, -6, 5, 4, -5, 8, 8, 93, 92, 93, -11, -8, -10, -4], 'TYPE');
  is_deeply($sth->{PRECISION},
            [1, 3, 5, 10, 19, 15, 15, 23, 8, 23, 36, 32767, 2147483647, 2147483647], 'PRECISION');
  $sth->finish;
  # Long columns read within LongReadLen; beyond it DBI reports the truncation.
  local $dbh->{LongReadLen} = 10000;
  my ($t, $b) = $dbh->selectrow_array('SELECT t, b FROM pl_kinds');
  is(length($t), 5000, 'long text read whole');
  is($b, "\x01\x02", 'bytes read whole');
  local $dbh->{LongReadLen} = 100;
  local $dbh->{RaiseError} = 0;
  ok(!defined($dbh->selectrow_array('SELECT t FROM pl_kinds')) && $dbh->state eq '01004',
     'truncation past LongReadLen is an error');
};

subtest 'doubled quotes in names and aliases' => sub {
  my $sth = $dbh->prepare('SELECT 1 AS "a""b", 2 AS `c``d`, ? AS "e""?"');
  $sth->execute(3);
  is_deeply($sth->{NAME}, ['a"b', 'c`d', 'e"?'], 'aliases');
  is_deeply($sth->fetchrow_arrayref, [1, 2, 3], 'one marker counted');
  $sth->finish;
  $dbh->do('CREATE TABLE "pl ""q""" ("col ""q""" INTEGER, y INTEGER)');
  $dbh->do('INSERT INTO "pl ""q""" VALUES (?, ?)', undef, 5, 6);
  $sth = $dbh->prepare('SELECT "col ""q""", y FROM "pl ""q"""');
  $sth->execute;
  is_deeply($sth->{NAME}, ['col "q"', 'y'], 'column names');
  is_deeply($sth->fetchrow_arrayref, [5, 6], 'values');
  $sth->finish;
};

subtest 'a statement of three megabytes' => sub {
  my $sql = 'SELECT COUNT(*) FROM customers WHERE id IN (1';
  my $n = 1;
  while (length($sql) < 3_000_000) { $sql .= ',' . (1000000 + $n); ++$n; }
  $sql .= ')';
  my ($count) = $dbh->selectrow_array($sql);
  is($count, 1, 'ran and counted');
};

$dbh->disconnect;
done_testing();
