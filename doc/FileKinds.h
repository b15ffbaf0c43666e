// Kinds of files told by the last four characters of a name, lower-cased:
// audio and video the program's player takes, and pictures the preview pane
// shows. Four characters, so "x.flac", "x.webm" and "x.mpeg" count too.
#pragma once

#include "framework/base/CString.h"

// ".mp4", ".avi", ".mkv", ".mp3", ".wav", "flac", "webm" ... (20 endings).
bool IsMediaFile(const CString& nameOrPath);
// ".jpg", "jpeg", ".png", ".bmp", ".tif", "tiff", ".gif", ".psd", ".pcx", ".tga".
bool IsPreviewImageName(const CString& nameOrPath);
