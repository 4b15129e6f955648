#!/usr/bin/perl
# Helpers between parvon-dirtool's LDIF export and an OpenLDAP server.
#
#   ldif-tool.pl schema-ldif SCHEMA
#       the schema file (slapd.conf form) as an LDIF entry for cn=config, on standard output
#   ldif-tool.pl check SCHEMA... < EXPORT
#       lists the attribute types and object classes of the LDIF that no schema file defines;
#       exit status 1 when there are any
#   ldif-tool.pl load BASE SCHEMA... < EXPORT
#       the LDIF ready for slapadd: the base entry first (BASE must start with "dc="), every DN and
#       every DN value rebased under BASE, each record with the auxiliary class its structural
#       class needs for the fields the standard classes lack, and with the classes and attributes
#       its POSIX id needs (a user's uidNumber: posixAccount, uid, its container's gidNumber and
#       homeDirectory /nonexistent; a container's gidNumber: parvonPosixGroup)
#
# The export names objects below the tree ("ou=5a,o=unterricht") and the tree is the base.
# Values of DN-syntax attributes (found in the schema files) and the volume DN in front of a
# home directory ("cn=SRV1_DATA,o=dienste#0#home\x") are rebased as well. A DN value that names an
# object outside the tree (the export writes its full name instead of a DN) cannot be stored: it is
# left out with a warning on standard error.
use strict;
use warnings;
use MIME::Base64 qw(decode_base64 encode_base64);

my $DnSyntax = '1.3.6.1.4.1.1466.115.121.1.12';

# Attributes whose values are "volume DN#name space#path".
my %PathAttribute = (ndshomedirectory => 1);

# Auxiliary class by structural class (lower case).
my %Auxiliary = (
    organization       => 'ndsContainerLoginProperties',
    organizationalunit => 'ndsContainerLoginProperties',
    inetorgperson      => 'ndsLoginProperties',
    groupofnames       => 'ndsLoginProperties',
    organizationalrole => 'ndsLoginProperties',
    template           => 'ndsLoginProperties',
);

# Attribute types slapd knows without any schema file.
my @BuiltIn = qw(objectClass structuralObjectClass creatorsName createTimestamp modifiersName
                 modifyTimestamp entryUUID entryCSN entryDN subschemaSubentry hasSubordinates);

sub Usage {
    print STDERR "Usage: ldif-tool.pl schema-ldif SCHEMA | check SCHEMA... | load BASE SCHEMA...\n";
    exit 2;
}

sub ReadFile {
    my ($Name) = @_;
    open(my $F, '<:raw', $Name) or die "Cannot read $Name: $!\n";
    local $/;
    my $Text = <$F>;
    close $F;
    return $Text;
}

# The definitions of a schema file: [kind, text] with kind "attributetype" or "objectclass" and
# the text from "(" to the matching ")" on one line. A commented-out definition after a line
# "# system schema" is one that slapd holds built in; it counts as well.
sub Definitions {
    my ($Name) = @_;
    my ($System, @Lines) = (0);
    for (split /\n/, ReadFile($Name)) {
        if (/^#\s*system schema/i) { $System = 1; next; }
        $System = 0 unless /^#./;
        if ($System) { push @Lines, substr($_, 1); next; }
        push @Lines, $_ unless /^\s*#/;
    }
    my $Text = join "\n", @Lines;
    my @Result;
    while ($Text =~ /\b(attributetype|objectclass)\s*\(/gi) {
        my ($Kind, $Start, $Depth, $Quoted) = (lc $1, pos($Text) - 1, 0, 0);
        my $End;
        for (my $I = $Start; $I < length $Text; ++$I) {
            my $C = substr($Text, $I, 1);
            if ($C eq "'") { $Quoted = !$Quoted; next; }
            next if $Quoted;
            ++$Depth if $C eq '(';
            if ($C eq ')' && --$Depth == 0) { $End = $I; last; }
        }
        die "$Name: unbalanced parentheses in a definition\n" unless defined $End;
        my $Body = substr($Text, $Start, $End - $Start + 1);
        $Body =~ s/\s+/ /g;
        push @Result, [$Kind, $Body];
        pos($Text) = $End + 1;
    }
    return @Result;
}

sub Names {
    my ($Body) = @_;
    return $1 =~ /'([^']+)'/g if $Body =~ /\bNAME\s+(\([^)]*\)|'[^']*')/;
    return ();
}

# Defined names (lower case) of attribute types and object classes, and the attribute types whose
# values are DNs.
sub LoadSchemas {
    my (%Attributes, %Classes, %Syntax, %Sup);
    $Attributes{lc $_} = 1 for @BuiltIn;
    for my $File (@_) {
        for my $D (Definitions($File)) {
            my ($Kind, $Body) = @$D;
            my @N = map { lc } Names($Body);
            if ($Kind eq 'objectclass') {
                $Classes{$_} = 1 for @N;
                next;
            }
            for (@N) {
                $Attributes{$_} = 1;
                $Syntax{$_} = $1 if $Body =~ /\bSYNTAX\s+([\d.]+)/;
                $Sup{$_} = lc $1 if $Body =~ /\bSUP\s+(\S+)/;
            }
        }
    }
    my %Dn;
    for my $A (keys %Attributes) {
        my ($X, $Hops) = ($A, 0);
        $X = $Sup{$X} while !defined $Syntax{$X} && defined $Sup{$X} && ++$Hops < 10;
        $Dn{$A} = 1 if ($Syntax{$X} // '') eq $DnSyntax;
    }
    return (\%Attributes, \%Classes, \%Dn);
}

# The records of an LDIF text: each a list of [attribute, value] with "dn" first.
sub ReadLdif {
    my ($Text) = @_;
    $Text =~ s/\r\n/\n/g;
    $Text =~ s/\n //g;
    my (@Records, $Current);
    my $Line = 0;
    for (split /\n/, $Text, -1) {
        ++$Line;
        if ($_ eq '') { undef $Current; next; }
        next if /^#/;
        next if !$Current && /^version:\s*1\s*$/;
        die "LDIF line $Line: URL values (\":<\") are not read\n" if /^[^:]*:</;
        /^([A-Za-z0-9][A-Za-z0-9;.-]*)(::?)\s*(.*)$/ or die "LDIF line $Line: cannot read \"$_\"\n";
        my ($Attribute, $Kind, $Value) = ($1, $2, $3);
        $Value = decode_base64($Value) if $Kind eq '::';
        if (!$Current) {
            die "LDIF line $Line: a record starts with \"dn:\"\n" unless lc $Attribute eq 'dn';
            $Current = [];
            push @Records, $Current;
        }
        push @$Current, [$Attribute, $Value];
    }
    return @Records;
}

sub NeedsBase64 {
    my ($V) = @_;
    return $V =~ /^[ :<]/ || $V =~ / $/ || $V =~ /[^\x20-\x7E]/;
}

sub Line {
    my ($Attribute, $Value) = @_;
    return "${Attribute}:: " . encode_base64($Value, '') . "\n" if NeedsBase64($Value);
    return "$Attribute: $Value\n";
}

sub Rebase {
    my ($Dn, $Base) = @_;
    return $Dn eq '' ? $Base : "$Dn,$Base";
}

sub SchemaLdif {
    my ($File) = @_;
    my ($Name) = $File =~ m{([^/]+?)(\.schema)?$};
    # The file's leading comment, then a note where this text comes from.
    my ($Comment) = ReadFile($File) =~ /^((?:#[^\n]*\n)*)/;
    my $Out = $Comment . "#\n# Made from $Name.schema by ldap/ldif-tool.pl schema-ldif; do not edit.\n"
            . "dn: cn=$Name,cn=schema,cn=config\nobjectClass: olcSchemaConfig\ncn: $Name\n";
    for my $D (Definitions($File)) {
        my ($Kind, $Body) = @$D;
        my $Line = ($Kind eq 'objectclass' ? 'olcObjectClasses' : 'olcAttributeTypes') . ": $Body";
        # Fold before a blank, so that a continuation line reads "  WORD".
        while (length $Line > 76) {
            my $Cut = rindex($Line, ' ', 76);
            $Cut = 76 if $Cut <= 1;
            $Out .= substr($Line, 0, $Cut) . "\n";
            $Line = ' ' . substr($Line, $Cut);
        }
        $Out .= "$Line\n";
    }
    return $Out;
}

sub Check {
    my ($Attributes, $Classes) = LoadSchemas(@_);
    my (%MissingAttributes, %MissingClasses);
    local $/;
    for my $R (ReadLdif(scalar <STDIN>)) {
        for my $Pair (@$R[1 .. $#$R]) {
            my ($Attribute, $Value) = @$Pair;
            my $Type = lc((split /;/, $Attribute)[0]);
            $MissingAttributes{$Attribute}++ unless $Attributes->{$Type};
            $MissingClasses{$Value}++ if $Type eq 'objectclass' && !$Classes->{lc $Value};
        }
    }
    print "undefined attribute type: $_ ($MissingAttributes{$_} values)\n" for sort keys %MissingAttributes;
    print "undefined object class: $_ ($MissingClasses{$_} records)\n" for sort keys %MissingClasses;
    return %MissingAttributes || %MissingClasses ? 1 : 0;
}

sub Load {
    my ($Base, @Schemas) = @_;
    my ($Domain) = $Base =~ /^dc=([^,+]+)/i or die "The base DN \"$Base\" must start with dc=.\n";
    my (undef, undef, $DnValued) = LoadSchemas(@Schemas);
    local $/;
    my @Records = ReadLdif(scalar <STDIN>);
    my $Out = "dn: $Base\nobjectClass: domain\ndc: $Domain\n";
    my %Gid; # the gidNumber of each container that has one, by its DN in the export (lower case)
    for my $R (@Records) {
        my $Dn = Rebase($R->[0][1], $Base);
        $Out .= "\n" . Line('dn', $Dn);
        my %Has = map { lc($_->[1]) => 1 } grep { lc $_->[0] eq 'objectclass' } @$R;
        my @Aux = grep { !$Has{lc $_} } map { $Auxiliary{$_} // () } keys %Has;
        # POSIX ids: a container's gidNumber needs parvonPosixGroup; a user's uidNumber posixAccount
        # with its login, its container's gid as primary group and a home directory.
        my %Value = map { lc($_->[0]) => $_->[1] } @$R;
        my $Posix = '';
        if (defined $Value{gidnumber}) {
            $Gid{lc $R->[0][1]} = $Value{gidnumber};
            push @Aux, 'parvonPosixGroup';
        }
        if (defined $Value{uidnumber}) {
            my ($Parent) = $R->[0][1] =~ /^(?:[^\\,]|\\.)+,(.*)$/s;
            my $Group = defined $Parent ? $Gid{lc $Parent} : undef;
            if (defined $Group) {
                push @Aux, 'posixAccount';
                $Posix .= Line('uid', $Value{cn}) unless defined $Value{uid};
                $Posix .= Line('gidNumber', $Group) . Line('homeDirectory', '/nonexistent');
            } else {
                print STDERR "warning: $Dn: its container has no gidNumber: uidNumber left out\n";
                delete $Value{uidnumber};
            }
        }
        for my $Pair (@$R[1 .. $#$R]) {
            my ($Attribute, $Value) = @$Pair;
            my $Type = lc((split /;/, $Attribute)[0]);
            next if $Type eq 'uidnumber' && !defined $Value{uidnumber};
            if ($DnValued->{$Type}) {
                if ($Value ne '' && $Value !~ /=/) {
                    print STDERR "warning: $Dn: $Attribute \"$Value\" names no object of the tree; left out\n";
                    next;
                }
                $Value = Rebase($Value, $Base);
            } elsif ($PathAttribute{$Type} && $Value =~ /^((?:[^\\#]|\\.)+)(#\d+#.*)$/s) {
                $Value = Rebase($1, $Base) . $2;
            }
            $Out .= Line($Attribute, $Value);
            if ($Type eq 'objectclass') {
                $Out .= Line('objectClass', $_) for @Aux;
                @Aux = ();
            }
        }
        $Out .= $Posix;
    }
    print $Out;
    return 0;
}

my $Command = shift // Usage();
if ($Command eq 'schema-ldif' && @ARGV == 1) {
    print SchemaLdif($ARGV[0]);
    exit 0;
}
exit Check(@ARGV) if $Command eq 'check' && @ARGV;
exit Load(@ARGV) if $Command eq 'load' && @ARGV >= 2;
Usage();
