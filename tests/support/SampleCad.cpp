#include "SampleCad.h"

#include <APIHeaderSection_MakeHeader.hxx>
#include <BRepBuilderAPI_MakeEdge.hxx>
#include <BRepBuilderAPI_MakeFace.hxx>
#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepPrimAPI_MakePrism.hxx>
#include <BRepTools.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <Interface_Static.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <STEPControl_Writer.hxx>
#include <TCollection_HAsciiString.hxx>
#include <gp_Pnt.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>
#include <TopoDS_Shape.hxx>
#include <gp_Vec.hxx>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <utility>

#include <unistd.h>

namespace sdf::testing {

namespace {

std::string ReadAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// OpenCASCADE writes to files only: each file goes through a scratch file.
std::filesystem::path Scratch(const char* name)
{
    static std::atomic<unsigned> count{0};
    return std::filesystem::temp_directory_path() /
           ("zrv_sample_" + std::to_string(::getpid()) + "_" + std::to_string(count++) + "_" + name);
}

// An angle of 10 mm plate, 200 mm long along x: a base 120 mm wide along
// +y and an upright 90 mm high at y 0..10. The weld runs in its inner
// corner, the line y = 10, z = 10.
TopoDS_Shape Angle()
{
    BRepBuilderAPI_MakePolygon profile;
    for (const auto& [y, z] : {std::pair{0.0, 0.0}, {120.0, 0.0}, {120.0, 10.0}, {10.0, 10.0}, {10.0, 90.0}, {0.0, 90.0}})
        profile.Add(gp_Pnt(-100, y, z));
    profile.Close();
    const TopoDS_Face face = BRepBuilderAPI_MakeFace(profile.Wire(), true);
    return BRepPrimAPI_MakePrism(face, gp_Vec(200, 0, 0)).Shape();
}

std::string Step(const TopoDS_Shape& shape, const char* name)
{
    const auto file = Scratch("angle.step");
    // The writer reports on standard output through the default printer.
    Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    STEPControl_Writer writer;
    Interface_Static::SetCVal("write.step.unit", "MM");
    const std::string before = Interface_Static::CVal("write.step.product.name");
    Interface_Static::SetCVal("write.step.product.name", name);
    const bool translated = writer.Transfer(shape, STEPControl_AsIs) == IFSelect_RetDone;
    Interface_Static::SetCVal("write.step.product.name", before.c_str());
    if (!translated)
        throw std::runtime_error("the sample's STEP part could not be translated");
    // A fixed name and time, so that the file is the same on every run.
    APIHeaderSection_MakeHeader header(writer.Model());
    header.SetName(new TCollection_HAsciiString(name));
    header.SetTimeStamp(new TCollection_HAsciiString("2026-01-01T00:00:00"));
    header.SetAuthorValue(1, new TCollection_HAsciiString("zervan"));
    header.SetOrganizationValue(1, new TCollection_HAsciiString("zervan"));
    if (writer.Write(file.c_str()) != IFSelect_RetDone)
        throw std::runtime_error("could not write " + file.string());
    std::string text = ReadAll(file);
    std::filesystem::remove(file);
    // The writer numbers products by how many the process wrote before:
    // the name alone keeps the file the same whatever ran first.
    return std::regex_replace(text, std::regex("'" + std::string(name) + " [0-9]+'"), "'" + std::string(name) + "'");
}

std::string Brep(const TopoDS_Shape& shape)
{
    std::ostringstream out;
    BRepTools::Write(shape, out);
    return out.str();
}

} // namespace

std::map<std::string, std::string> SampleCad()
{
    std::map<std::string, std::string> files;
    files["geometry/angle_200.step"] = Step(Angle(), "angle_200");
    // The bracket's seam, 300 mm along the feature's -x (its pose turns
    // that onto the bracket's +x).
    files["features/seam_1.brep"] = Brep(BRepBuilderAPI_MakeEdge(gp_Pnt(0, 0, 0), gp_Pnt(-300, 0, 0)).Edge());
    return files;
}

} // namespace sdf::testing
