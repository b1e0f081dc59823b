#include "torrent/TorrentFacts.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "base/Exceptions.h"
#include "base/Stream.h"
#include "bencode/BDecode.h"

namespace kelvane {

const TScanKeys kTorrentFactKeys{
    {"announce", "announce-list", "url-list"},
    {"meta version", "file tree", "files", "length", "piece length", "name.utf-8", "name"}};

namespace {

using TKind = TScannedValue::TKind;

const TScannedValue kAbsent;

// The value a scan noted for key, or kAbsent where it was not asked for.
const TScannedValue& Noted(const std::vector<std::string>& keys,
                           const std::vector<TScannedValue>& values, std::string_view key) {
  for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
    if (keys[i] == key) return values[i];
  }
  return kAbsent;
}

// The content of a string value's bytes: what follows its length digits and
// the one byte that ends them, as far as the decoder took it.
std::string StringOf(const std::string& bytes) {
  const std::size_t separator = bytes.find_first_not_of("0123456789");
  return separator == std::string::npos ? std::string() : bytes.substr(separator + 1);
}

// A value decoded from its bytes, with the stream it came from: the decoder
// leaves a long string's content there.
struct TDecoded {
  explicit TDecoded(const std::string& bytes) : Stream(bytes), Root(DecodeStream(Stream)) {}
  TMemoryStream Stream;
  std::unique_ptr<TObject> Root;
};

// The value under key when the dictionary holds one of type T, else null.
template <class T>
const T* Entry(const TObjectHash& dictionary, std::string_view key) {
  return dictionary.Exists(key) ? dynamic_cast<const T*>(dictionary.Items(key)) : nullptr;
}

std::optional<std::int64_t> IntegerOf(const TObject* value) {
  const auto* scalar = dynamic_cast<const TIntString*>(value);
  if (scalar == nullptr || !scalar->IsInt) return std::nullopt;
  return scalar->IntValue;
}

// The bytes of a decoded string value, read back from the stream when the
// decoder left them there.
std::optional<std::string> TextOf(const TObject* value, TStream& stream) {
  const auto* scalar = dynamic_cast<const TIntString*>(value);
  if (scalar == nullptr || scalar->IsInt) return std::nullopt;
  if (scalar->StrLength == 0) return scalar->StrValue;
  std::string text(static_cast<std::size_t>(scalar->StrLength), '\0');
  stream.Seek(scalar->StrOffset, TSeekOrigin::Beginning);
  stream.ReadExactly(text.data(), text.size());
  return text;
}

// The byte strings a list holds, or the one string value is.
std::vector<std::string> TextsOf(const TObject* value, TStream& stream) {
  std::vector<std::string> texts;
  if (const auto* list = dynamic_cast<const TObjectList*>(value)) {
    for (std::size_t i = 0; i < list->Count(); ++i) {
      if (auto text = TextOf(list->Item(i), stream)) texts.push_back(std::move(*text));
    }
  } else if (auto text = TextOf(value, stream)) {
    texts.push_back(std::move(*text));
  }
  return texts;
}

// The keys a decoded dictionary holds besides the decoder's own record of a
// key "info" ("_info_start", "_info_length"), the empty key included.
std::int32_t OwnKeyCount(const TObjectHash& dictionary) {
  return dictionary.KeyCount() - (dictionary.Exists("info") ? 2 : 0) +
         (dictionary.EmptyKeyValue() != nullptr ? 1 : 0);
}

// A dictionary of the file tree is a file when it holds the empty key; its
// other entries, if any, are walked like a folder's.
void AddTreeFiles(const TObjectHash& folder, std::vector<std::int64_t>& lengths) {
  if (folder.EmptyKeyValue() != nullptr) {
    const auto* file = dynamic_cast<const TObjectHash*>(folder.EmptyKeyValue());
    lengths.push_back(file == nullptr ? 0
                                      : IntegerOf(Entry<TIntString>(*file, "length")).value_or(0));
  }
  for (std::int32_t i = 0; i < folder.KeyCount(); ++i) {
    if (const auto* inner = dynamic_cast<const TObjectHash*>(folder.ValueAt(i))) {
      AddTreeFiles(*inner, lengths);
    }
  }
}

std::optional<std::string> SingleFileKey(const TObjectHash& tree) {
  if (OwnKeyCount(tree) != 1) return std::nullopt;
  // The decoder stores a key before its record of "info", if any.
  const bool emptyKey = tree.EmptyKeyValue() != nullptr;
  const auto* entry =
      dynamic_cast<const TObjectHash*>(emptyKey ? tree.EmptyKeyValue() : tree.ValueAt(0));
  if (entry == nullptr || entry->EmptyKeyValue() == nullptr) return std::nullopt;
  return emptyKey ? std::string() : tree.KeyAt(0);
}

}  // namespace

bool TTorrentFacts::HasV2Identity() const {
  return MetaVersion && static_cast<std::int32_t>(static_cast<std::uint32_t>(*MetaVersion)) == 2;
}

bool TTorrentFacts::HasV1Identity() const {
  return !HasV2Identity() || HasFileList || HasLength;
}

TTorrentFacts ReadTorrentFacts(const TScanKeys& keys, const TInfoScan& scan,
                               const TValueBytes& bytesOf) {
  const auto info = [&](std::string_view key) -> const TScannedValue& {
    return Noted(keys.Info, scan.Info, key);
  };
  const auto root = [&](std::string_view key) -> const TScannedValue& {
    return Noted(keys.Root, scan.Root, key);
  };
  TTorrentFacts facts;
  if (const TScannedValue& version = info("meta version"); version.Kind == TKind::Integer) {
    facts.MetaVersion = version.Integer;
  }
  if (const TScannedValue& piece = info("piece length"); piece.Kind == TKind::Integer) {
    facts.PieceLength = piece.Integer;
  }
  facts.HasLength = info("length").Kind != TKind::None;
  facts.HasFileTree = info("file tree").Kind == TKind::Dictionary;
  facts.HasFileList = info("files").Kind == TKind::List;
  for (const char* key : {"name.utf-8", "name"}) {
    if (info(key).Kind == TKind::String) {
      facts.Name = StringOf(bytesOf(info(key)));
      break;
    }
  }
  if (root("announce").Kind == TKind::String) facts.Announce = StringOf(bytesOf(root("announce")));
  if (const TScannedValue& tiers = root("announce-list"); tiers.Kind == TKind::List) {
    TDecoded decoded(bytesOf(tiers));
    const auto& list = dynamic_cast<const TObjectList&>(*decoded.Root);
    for (std::size_t i = 0; i < list.Count(); ++i) {
      if (dynamic_cast<const TObjectList*>(list.Item(i)) != nullptr) {
        facts.AnnounceList.push_back(TextsOf(list.Item(i), decoded.Stream));
      }
    }
  }
  if (const TScannedValue& seeds = root("url-list"); seeds.Kind == TKind::String) {
    facts.UrlList.push_back(StringOf(bytesOf(seeds)));
  } else if (seeds.Kind == TKind::List) {
    TDecoded decoded(bytesOf(seeds));
    facts.UrlList = TextsOf(decoded.Root.get(), decoded.Stream);
  }
  if (facts.HasFileList && !facts.UrlList.empty()) {
    facts.FileListCount = static_cast<std::int64_t>(
        dynamic_cast<const TObjectList&>(*TDecoded(bytesOf(info("files"))).Root).Count());
  }
  if (facts.HasFileTree && facts.HasV2Identity() && !facts.HasFileList && !facts.HasLength) {
    TDecoded decoded(bytesOf(info("file tree")));
    const auto& tree = dynamic_cast<const TObjectHash&>(*decoded.Root);
    AddTreeFiles(tree, facts.TreeFileLengths);
    facts.SingleTreeFile = SingleFileKey(tree);
  }
  return facts;
}

}  // namespace kelvane
