// graph_restore.h - keeping graphs alive across a lost display device.
//
// Lost surfaces are restored once the application is active again
// (RestoreAllGraphSurfaces). After a full loss the display is rebuilt
// (RestoreGraphicsAfterDeviceLoss): every graph is flagged and the restore handler
// puts the pixels back; the default handler decodes each graph's source file again,
// once for a run of graphs cut from the same file.
#pragma once

using GraphRestoreHandler = int (*)(void);

int SetGraphRestoreHandler(GraphRestoreHandler handler);  // null: the default handler
int HasGraphRestoreHandler(void);                         // 1 when one is installed
int MarkGraphsForRestore(void);
int ReloadGraphsFromFiles(void);
int RestoreGraphicsAfterDeviceLoss(void);
int RestoreGraphAndMovieSurfaces(int graph);
int RestoreAllGraphSurfaces(void);
