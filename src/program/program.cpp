// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/program.h"

#include "collection/glimra_file.h"

namespace glimra::program {

Program::Program(runtime::Runtime& runtime, datafile::FileSystem& fileSystem)
    : runtime(runtime), fileSystem(fileSystem), GLIMRA(fileSystem) {
  GLIMRA.declare(collection::glimraDeclaration(), &GL);
  clearGlobals();
}

Program::~Program() { closeFiles(); }

void Program::clearGlobals() {
  GLIMRAFILE.clear();
  GLOBALREQUEST = 0;
  GLOBALRESPONSE = 0;
  GL.clear();
  CHG.clear();
  CURRENTRECORD = collection::blankImage();
  NAMESTRING = "'Glimra'";
}

void Program::closeFiles() { GLIMRA.close(); }

}  // namespace glimra::program
