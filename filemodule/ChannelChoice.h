// Which of a picture file's channels make the picture, by their names, as
// OpenImageIO's tools pick them: R, G, B and A, or Y and A for gray, of the
// unnamed layer or of a named one ("diffuse.R"). Compositors' files carry
// more (depth, normals, other layers); those are the others.
#pragma once

#include <OpenImageIO/imageio.h>

#include <string>
#include <vector>

namespace maculo {

struct ChannelChoice {
    std::vector<int> picture;  // red, green, blue or gray, then alpha if any
    std::vector<int> others;   // the rest, in the file's order
};

// Throws CliError, naming `path` and listing the layers the file has, when
// `layer` ("" for the unnamed one) has no picture channels, or both colour
// and gray ones.
ChannelChoice ChooseChannels(const OIIO::ImageSpec& layout, const std::string& layer, const std::string& path);

struct FilePart {
    int index = 0;
    std::string layer;  // the layer within the part that holds the picture
    std::string note;   // which part is read, when the file has others
};

// The part of the file to read, and seeks the input to it: the one named
// `layer` where parts have names (its picture channels may then carry the
// name or not), else the first.
FilePart ChoosePart(OIIO::ImageInput& input, const std::string& layer, const std::string& path);

}  // namespace maculo
