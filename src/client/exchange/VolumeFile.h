#pragma once

#include <QByteArray>

class TDirectoryBackend;
class TVolumeStore;

// Export and import of the volume store: the volumes, every folder below their roots, the folders'
// Delete Inhibit and Rename Inhibit, and their trustees with their rights. Together with the LDIF
// of the tree (Ldif.h) it moves a whole school from one store to another.
//
// The text is UTF-8, one record a line, the fields separated by one tab (no name holds a tab):
//
//   # Comment                     lines starting with "#", and empty lines, are passed over
//   version  1                    the first record
//   volume   \\SRV1\DATA  NDS:\\SCHULE\dienste\SRV1_DATA
//                                 a volume and its volume object (empty for none)
//   folder   \\SRV1\DATA\home\Tausch  DI RI
//                                 a folder and its flags: "DI" Delete Inhibit, "RI" Rename Inhibit,
//                                 both "DI RI", none empty
//   trustee  \\SRV1\DATA\home\Tausch  -R----F-  NDS:\\SCHULE\unterricht\schueler\5a
//                                 a trustee of the folder: its rights in eight places S R W E C M F
//                                 A, "-" for a missing right, and its full name
//
// Export writes the volumes by name, each followed by its folders (parents before their children,
// folders of one parent by name), each folder followed by its trustees in the order they were
// assigned. A volume's root has a folder line only when it carries a flag or a trustee. The local
// root folders are the workstation's own and are not written. Two exports of the same store are
// byte-identical.
//
// Import reads the whole text first and stops at the first fault with an EDirectoryError whose
// message starts with "Volume-Datei, Zeile N: ", before anything is changed: every path must keep
// the volume store's rules (VolumePath.h), lie on a volume that the text or the store names and not
// lead out of it through a link, and every trustee must be an object of the directory (import the
// tree's LDIF first). Then it enters the volumes the store does not know (their roots in the store's
// own folder), creates the folders and gives each folder of the text its flags and its trustees their
// rights as the text says, all in one transaction of the directory; a volume the store knows keeps its
// root, and what the text does not name stays as it is. A failing import changes nothing: the folders
// it made go again with the transaction.
namespace VolumeFile {

struct TImportResult {
    int Volumes = 0;  // volumes entered
    int Folders = 0;  // folder lines applied
    int Trustees = 0; // trustee lines applied
};

QByteArray Export(TVolumeStore& Volumes);
// Directory: where the trustees are looked up, and whose transaction the import runs in.
TImportResult Import(TDirectoryBackend& Directory, TVolumeStore& Volumes, const QByteArray& Text);

} // namespace VolumeFile
