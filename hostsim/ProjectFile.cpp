#include "Project.h"
#include "Simulator.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

namespace zylsim {

namespace {

// "LINE:COLUMN" of the byte at `offset` (1-based, as the JSON parser counts it), so that an
// editor can jump to the fault.
std::string LineAndColumn(const std::string& text, std::size_t offset) {
  const std::size_t end = std::min(offset > 0 ? offset - 1 : 0, text.size());
  const auto line =
      1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\n');
  const std::size_t lineStart = text.rfind('\n', end == 0 ? std::string::npos : end - 1);
  const std::size_t column = lineStart == std::string::npos || end == 0 ? end + 1 : end - lineStart;
  return std::to_string(line) + ":" + std::to_string(column);
}

// The parser's own words for the fault, without its exception tag and position.
std::string SyntaxProblem(const std::string& message) {
  const std::size_t column = message.find("column ");
  const std::size_t colon = message.find(": ", column == std::string::npos ? 0 : column);
  return colon == std::string::npos ? message : message.substr(colon + 2);
}

} // namespace

nlohmann::json LoadProjectFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    throw ProjectError("cannot read project file " + path + ": " +
                       std::generic_category().message(errno));
  std::ostringstream content;
  content << file.rdbuf();
  const std::string text = content.str();
  nlohmann::json project;
  try {
    project = nlohmann::json::parse(text);
  } catch (const nlohmann::json::parse_error& error) {
    throw ProjectError("project file " + path + ":" + LineAndColumn(text, error.byte) +
                       ": not valid JSON: " + SyntaxProblem(error.what()));
  }
  try {
    ParseProject(project, {}, Strictness::EditorValues);
  } catch (const ProjectError& error) {
    throw ProjectError("project file " + path + ": " + error.what());
  }
  return project;
}

} // namespace zylsim
