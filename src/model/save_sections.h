#pragma once
class SaveSections {};
