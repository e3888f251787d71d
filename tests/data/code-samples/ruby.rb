require 'json'

class Playlist
  attr_reader :songs

  def initialize(name)
    @name = name
    @songs = []
  end

  def add(song)
    @songs << song unless @songs.include?(song)
  end

  def to_json(*args)
    { name: @name, songs: @songs }.to_json(*args)
  end
end

list = Playlist.new('road trip')
list.add('Holiday')
puts list.to_json
