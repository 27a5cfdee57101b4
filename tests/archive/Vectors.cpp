// Where the tests find the real archives (see Vectors.h).
#include "Vectors.h"

#include <stdlib.h>

#include <fstream>

// Under Wine a Linux path such as /home/x/vectors names the same folder
// (drive Z: is the root, and the current drive), so one value serves the
// host tests and the Windows tests alike.
std::string VectorsDir()
{
    const char* Given = getenv("TARN_VECTORS_DIR");
    std::string Dir = Given && *Given ? Given : "../shared/vectors";
    bool Absolute = Dir[0] == '/' || Dir[0] == '\\' || (Dir.size() > 1 && Dir[1] == ':');
    return Absolute ? Dir : std::string(TARN_SOURCE_DIR) + "/" + Dir;
}

std::string VectorsMissing()
{
    std::string Table = VectorsDir() + "/EXPECTED.txt";
    if (std::ifstream(Table)) return std::string();
    return "the real archives are missing (no " + Table +
           "); set TARN_VECTORS_DIR to their folder to run this test (see README.md)";
}
