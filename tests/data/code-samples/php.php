<?php

namespace App\Http\Controllers;

use Illuminate\Http\Request;

class PostController extends Controller
{
    public function store(Request $request)
    {
        $title = $request->input('title');
        if (empty($title)) {
            return redirect()->back();
        }
        $post = new Post();
        $post->title = $title;
        $post->save();
        return redirect('/posts');
    }
}
