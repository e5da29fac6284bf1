#pragma once

// The wait cursor covers the synchronous part of the scan only.
void SetWaitCursor();
void RestoreCursor();
