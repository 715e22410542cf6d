// Resource identifiers of the plug-in's dialog templates, controls and icon.
#pragma once
