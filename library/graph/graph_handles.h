// graph_handles.h - the table of graph handles.
#pragma once

// Deletes every graph (logging each deletion when logFlag is set); 0.
int DeleteAllGraphHandles(int logFlag);
