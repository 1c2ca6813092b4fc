#include "Project.h"
#include "Simulator.h"

#include <fstream>
#include <sstream>

namespace zylsim {

nlohmann::json LoadProjectFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ProjectError("cannot read project file " + path);
  std::ostringstream text;
  text << file.rdbuf();
  nlohmann::json project = nlohmann::json::parse(text.str(), nullptr, false);
  if (project.is_discarded()) throw ProjectError("project file " + path + " is not valid JSON");
  try {
    ParseProject(project, {});
  } catch (const ProjectError& error) {
    throw ProjectError("project file " + path + ": " + error.what());
  }
  return project;
}

} // namespace zylsim
