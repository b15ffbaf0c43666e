// The program's own viewers a file can be opened in (COrvantisDoc::OpenSecureViewer).
#pragma once

enum ViewerKind {
    VIEWER_TEXT = 0,
    VIEWER_IMAGE = 1,
    VIEWER_VIDEO = 2,
};
