// Reading and writing label images (segmentation masks, track markers) and grey frames: 8-bit
// or 16-bit files are read into a 16-bit image, and every failure becomes a ToolError whose exit
// status tells a missing file from a malformed one.
#pragma once

#include <filesystem>
#include <string>

#include "voxa/image3d.h"

namespace trel::tool {

using LabelImage = voxa::Image3d<unsigned short>;

// What a file read is meant to be, as the refusal of a wrong one names it.
enum class ImageKind { kLabels, kFrame };

// Replaces `image` with the file's labels and returns the file's bits per voxel (8 or 16).
// Throws ToolError: kExitNoInput for a missing file, kExitDataError for a file that is not an
// 8-bit or 16-bit grey image or cannot be parsed.
int ReadLabelImage(const std::filesystem::path& file, LabelImage& image,
                   ImageKind kind = ImageKind::kLabels);

// Writes a 16-bit image (LZW-compressed); the file appears only when completely written.
// Throws ToolError(kExitIoError) when writing fails.
void WriteLabelImage(const std::filesystem::path& file, const LabelImage& image);

// Whether the two images have the same size along every axis.
bool SameSize(const LabelImage& a, const LabelImage& b);

// "512x512" for a 2D image, "256x256x32" for a stack.
std::string SizeText(const LabelImage& image);

}  // namespace trel::tool
