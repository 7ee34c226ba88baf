// surface2d.h - the 2D-surface table as the display start-up, mode change and device
// loss handling use it.
#pragma once

int DeleteAllSurface2D(void);           // 0, or -1 before display start-up
int RestoreAllSurface2D(void);          // 0, or -1 when a surface was lost (or before start-up)
int ReleaseAllSurface2DStorage(void);   // 0: the DirectDraw storage behind every live 2D surface
int RecreateAllSurface2DStorage(void);  // 0: storage and colour key of every live 2D surface again
