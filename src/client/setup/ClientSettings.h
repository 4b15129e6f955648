#pragma once

#include <LdapConnection.h>

#include <QString>
#include <VolumeStore.h>
#include <vector>

// The client's settings say per tree where its directory lives. "client.ini" in the folder of the
// workstation's store (or the file $PARVON_CLIENT_SETTINGS names) holds a group for each tree that
// an LDAP server holds:
//   [SCHULE]
//   Directory=ldap
//   Url=ldap://ldap.schule.example        ldaps://... or ldap://...:389/????!StartTLS for TLS
//   Base=dc=schule,dc=example
//   BindDn=cn=admin,dc=schule,dc=example
//   PasswordFile=/home/admin/.parvon-bind  optional; readable by its owner only
//   Timeout=10                             seconds, the longest wait for any answer
//   PasswordModify=true                    false: passwords as a userPassword replace
//   Transactions=false                     true: imports as LDAP transactions where the server
//                                          offers them (for writers that do not read back what
//                                          they wrote); else a journal takes broken-off writes back
//   UidRange=10000-59999                   the POSIX ids users and containers get (the
//   GidRange=10000-59999                   defaults)
// A tree without a group, or with Directory=embedded, stays in the embedded store. No password is
// ever written there or into the store. The journal of a tree's writes lies in the store's folder
// (LdapJournalFile).
std::vector<TLdapSettings> ReadClientSettings(const QString& File);
// The volumes of any tree's group that lie on real folders of a file server's disk (or a mount of
// it with POSIX ACLs and extended attributes), one key per volume:
//   Volume\SRV1\DATA=/srv/parvon/data
// Every other volume stays in the embedded store.
std::vector<TVolume> ReadPosixVolumes(const QString& File);
QString ClientSettingsFile(const QString& StoreFolder);
// The file in which the client notes how to take back the writes of a tree's group that the server
// does not take as one transaction, beside the store in StoreFolder.
QString LdapJournalFile(const QString& StoreFolder, const QString& Tree);
