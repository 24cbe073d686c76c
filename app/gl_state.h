#pragma once

// Extension flags, set once by InitGLState.
extern bool CompiledVertexArraySupported;
extern bool VertexArrayRangeSupported;
extern bool FencesSupported;
extern bool TextureCompressionSupported;

// Fixed GL state, extension detection and the NV entry points.
void InitGLState();

// Whole-token search of name in the GL_EXTENSIONS string.
bool HasExtension(const char* name);

// Whole-token search of name in a given extension string (HasExtension's rule).
bool ExtensionListHas(const char* extensions, const char* name);

// Replaces the source of the extension string (tests); nullptr restores glGetString.
using ExtensionStringSource = const char* (*)();
void SetExtensionStringForTesting(ExtensionStringSource source);

// Clears the flags and drops the driver's NV layer (tests).
void ResetGLState();
